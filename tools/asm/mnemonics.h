// Instruction names, derived from the operation tables of vm/isa.h and vm/encode.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orva::qxasm {

enum class MnKind : uint8_t {
  kTwoOp,        // index: operation 0-31 (isa::kOperations)
  kUnary,        // index: unary operation (isa::kUnaryOps)
  kTestBranch,   // index: condition
  kBranchFlags,  // index: condition
  kJump,
  kJsr,
  kEnter,
  kReturn,
  kFixed,  // index into isa::kFixedInstructions
};

struct Mnemonic {
  MnKind kind;
  uint8_t index;
};

// Looks up an instruction name without its size suffix, in lower case.
std::optional<Mnemonic> LookupMnemonic(std::string_view base);

// Size suffixes: b w l q (sizes 0-3) and f d (sizes 2-3 of the floating operations).
struct SizeSuffix {
  uint8_t size;
  bool floating;  // written .f or .d
};
std::optional<SizeSuffix> ParseSizeSuffix(std::string_view suffix);

}  // namespace orva::qxasm
