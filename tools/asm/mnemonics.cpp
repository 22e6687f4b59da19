#include "mnemonics.h"

#include <string>
#include <unordered_map>

#include "vm/encode.h"
#include "vm/isa.h"

namespace orva::qxasm {

namespace isa = vm::isa;

namespace {

std::unordered_map<std::string, Mnemonic> BuildTable() {
  std::unordered_map<std::string, Mnemonic> t;
  for (uint8_t op = 0; op < std::size(isa::kOperations); ++op)
    if (!isa::kOperations[op].name.empty())
      t.emplace(std::string(isa::kOperations[op].name), Mnemonic{MnKind::kTwoOp, op});
  for (uint8_t op = 0; op < std::size(isa::kUnaryOps); ++op)
    if (!isa::kUnaryOps[op].name.empty())
      t.emplace(std::string(isa::kUnaryOps[op].name), Mnemonic{MnKind::kUnary, op});
  for (uint8_t c = 0; c < std::size(isa::kCondNames); ++c) {
    std::string cond(isa::kCondNames[c]);
    t.emplace(std::string(isa::kTestBranchPrefix) + cond, Mnemonic{MnKind::kTestBranch, c});
    t.emplace(std::string(isa::kBranchPrefix) + cond, Mnemonic{MnKind::kBranchFlags, c});
  }
  t.emplace(std::string(isa::kJumpName), Mnemonic{MnKind::kJump, 0});
  t.emplace(std::string(isa::kJsrName), Mnemonic{MnKind::kJsr, 0});
  t.emplace(std::string(isa::kEnterName), Mnemonic{MnKind::kEnter, 0});
  t.emplace(std::string(isa::kReturnName), Mnemonic{MnKind::kReturn, 0});
  for (uint8_t i = 0; i < std::size(isa::kFixedInstructions); ++i)
    t.emplace(std::string(isa::kFixedInstructions[i].name), Mnemonic{MnKind::kFixed, i});
  return t;
}

}  // namespace

std::optional<Mnemonic> LookupMnemonic(std::string_view base) {
  static const std::unordered_map<std::string, Mnemonic> table = BuildTable();
  auto it = table.find(std::string(base));
  if (it == table.end()) return std::nullopt;
  return it->second;
}

std::optional<SizeSuffix> ParseSizeSuffix(std::string_view s) {
  if (s.size() != 1) return std::nullopt;
  switch (s[0] | 0x20) {
    case 'b': return SizeSuffix{0, false};
    case 'w': return SizeSuffix{1, false};
    case 'l': return SizeSuffix{2, false};
    case 'q': return SizeSuffix{3, false};
    case 'f': return SizeSuffix{2, true};
    case 'd': return SizeSuffix{3, true};
    default: return std::nullopt;
  }
}

}  // namespace orva::qxasm
