// Hand encoders for instruction words, for tests that build programs in memory. The field
// layouts are those of vm/isa.h; operation numbers are looked up in its tables by mnemonic.
#pragma once

#include <cstdint>
#include <string_view>

#include "vm/isa.h"

namespace orva::test {

enum Size : uint32_t { kB = 0, kW = 1, kL = 2, kQ = 3 };

constexpr uint32_t OpNumber(std::string_view name) {
  for (uint32_t i = 0; i < 32; ++i)
    if (vm::isa::kOperations[i].name == name) return i;
  throw "unknown operation";
}
constexpr uint32_t UnaryNumber(std::string_view name) {
  for (uint32_t i = 0; i < 32; ++i)
    if (vm::isa::kUnaryOps[i].name == name) return i;
  throw "unknown unary operation";
}

// Two-operand word: form, operation, size, r1 (or short immediate in bits 5-8), bits 16-31.
constexpr uint32_t TwoOp(uint32_t form, std::string_view op, uint32_t size, uint32_t r1 = 0,
                         uint32_t hi = 0) {
  return form | (r1 & 15) << 5 | size << 9 | OpNumber(op) << 11 | (hi & 0xFFFF) << 16;
}
// The raw 7-bit operation-and-size code, for codes that have no mnemonic.
constexpr uint32_t TwoOpCode(uint32_t form, uint32_t code, uint32_t r1 = 0, uint32_t hi = 0) {
  return form | (r1 & 15) << 5 | code << 9 | (hi & 0xFFFF) << 16;
}
constexpr uint32_t Unary(uint32_t form, uint32_t code, uint32_t hi = 0) {
  return form | code << 8 | (hi & 0xFFFF) << 16;
}
// The unary code of a mnemonic and size.
constexpr uint32_t UCode(std::string_view op, uint32_t size) { return UnaryNumber(op) * 4 + size; }

constexpr uint32_t TestBranch(uint32_t mode, uint32_t size, uint32_t cond, uint32_t target) {
  return mode << 3 | size << 5 | cond << 7 | (target >> 2) << 10;
}
constexpr uint32_t Jump(uint32_t target) { return 44 | (target >> 2) << 10; }
constexpr uint32_t JumpTable(uint32_t reg, uint32_t t) { return 12 | reg << 6 | (t >> 2) << 10; }
constexpr uint32_t Enter(uint32_t nregs, uint32_t locals) {
  return 340 | nregs << 10 | locals << 14;
}
constexpr uint32_t Return(uint32_t nregs) { return 596 | nregs << 10; }
constexpr uint32_t Push32W(int32_t v) { return 756 | (static_cast<uint32_t>(v) & 0x3FFFFF) << 10; }
constexpr uint32_t Push64W(int32_t v) { return 1012 | (static_cast<uint32_t>(v) & 0x3FFFFF) << 10; }

inline constexpr uint32_t kDebugPrint = 20, kSys = 276, kHalt = 532, kModal = 788, kEmod = 916;

// Unary forms.
inline constexpr uint32_t kURegDisp = 108, kUFp = 172, kUSlot = 212, kUAbs = 236;

constexpr uint32_t Short(int32_t v) { return static_cast<uint32_t>(v) & 15; }
constexpr uint32_t D16(int32_t v) { return static_cast<uint32_t>(v) & 0xFFFF; }

}  // namespace orva::test
