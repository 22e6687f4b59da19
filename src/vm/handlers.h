// The handlers of the pre-decoded loop (vm/fast_loop.cpp), numbered. The decoder (vm/decode.cpp)
// picks one number per instruction; the loop turns numbers into label addresses (or switch
// cases). Everything here is derived from vm/isa.h, and the asserts below prove the two agree.
//
// A two-operand instruction's handler is fixed by the kinds of its operands, its operation and
// its size, so that the handler does nothing but the work. Operand kinds:
//
//   destination  kReg  register slot        source  kFixed  register slot, or an absolute
//                kFp   [FP + disp]                          address checked when decoded
//                kAbs  [address]                    kImm    immediate, parked in IMMSLOT
//                kInd  [R(r) + disp]                kFp, kInd as for the destination
//
// The frequent integer operations (kFastOps) get a handler per size for the kind pairs that have
// a register or an immediate in them, or a fixed source (kOwnPairs); the others (division,
// floating point, lea, bmov, and every operation between two operands whose addresses are known
// only at run time) share one generic handler per kind pair that resolves the rest at run time.
// A flag-setting operation followed by a branch on flags is fused into one handler when the
// operation is one of kFusedOps.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "vm/isa.h"

namespace orva::vm::fast {

enum class DKind : uint8_t { kReg, kFp, kAbs, kInd };
enum class SKind : uint8_t { kFixed, kImm, kFp, kInd };
inline constexpr uint32_t kDKinds = 4, kSKinds = 4;

// The kind of an operand of isa::kForms.
constexpr DKind DKindOf(isa::Operand o) {
  switch (o) {
    case isa::Operand::kReg1:
    case isa::Operand::kReg2: return DKind::kReg;
    case isa::Operand::kFpD16:
    case isa::Operand::kFpX1: return DKind::kFp;
    case isa::Operand::kAbsX1:
    case isa::Operand::kAbsX2: return DKind::kAbs;
    default: return DKind::kInd;
  }
}
constexpr SKind SKindOf(isa::Operand o) {
  if (isa::IsImmediate(o) || isa::IsShort(o)) return SKind::kImm;
  switch (DKindOf(o)) {
    case DKind::kReg:
    case DKind::kAbs: return SKind::kFixed;
    case DKind::kFp: return SKind::kFp;
    default: return SKind::kInd;
  }
}
// Forms never have an immediate destination, so DKindOf sees only addresses and registers.
constexpr bool FormsHaveNoImmediateDestination() {
  for (const isa::FormInfo& f : isa::kForms)
    if (isa::IsImmediate(f.dst) || isa::IsShort(f.dst)) return false;
  return true;
}
static_assert(FormsHaveNoImmediateDestination());

// Operations with a handler per kind pair and size, in the order of the loop's label lists.
inline constexpr std::string_view kFastOps[] = {"add", "sub",  "cmp", "and", "or",  "xor", "test",
                                                "mov", "movz", "lsl", "lsr", "asr", "mul"};
inline constexpr uint32_t kFastOpCount = std::size(kFastOps);
// Operations fused with a following branch on flags: the ones that set flags and end loops.
inline constexpr std::string_view kFusedOps[] = {"cmp", "sub", "test", "and"};
inline constexpr uint32_t kFusedOpCount = std::size(kFusedOps);
// Unary operations with a handler per operand kind and size (kinds kReg, kFp, kAbs, kInd).
inline constexpr std::string_view kFastUnary[] = {"neg", "not",   "tst",  "push",
                                                  "pop", "pusha", "zext", "sext"};
inline constexpr uint32_t kFastUnaryCount = std::size(kFastUnary);

// The operation number (isa::kOperations) of a name, or 32.
constexpr uint32_t OperationNumber(std::string_view name) {
  for (uint32_t i = 0; i < 32; ++i)
    if (isa::kOperations[i].name == name) return i;
  return 32;
}
constexpr uint32_t UnaryNumber(std::string_view name) {
  for (uint32_t i = 0; i < 32; ++i)
    if (isa::kUnaryOps[i].name == name) return i;
  return 32;
}

// The index in kFastOps (or kFusedOps) of an operation number, or -1.
constexpr int FastOpIndex(uint32_t operation) {
  for (uint32_t i = 0; i < kFastOpCount; ++i)
    if (OperationNumber(kFastOps[i]) == operation) return static_cast<int>(i);
  return -1;
}
constexpr int FusedOpIndex(uint32_t operation) {
  for (uint32_t i = 0; i < kFusedOpCount; ++i)
    if (OperationNumber(kFusedOps[i]) == operation) return static_cast<int>(i);
  return -1;
}
constexpr int FastUnaryIndex(uint32_t unary_op) {
  for (uint32_t i = 0; i < kFastUnaryCount; ++i)
    if (UnaryNumber(kFastUnary[i]) == unary_op) return static_cast<int>(i);
  return -1;
}

constexpr bool FastOpsAreIntegerOperations() {
  for (std::string_view name : kFastOps) {
    uint32_t op = OperationNumber(name);
    if (op == 32 || isa::kOperations[op].kind != isa::OpKind::kInteger) return false;
  }
  for (std::string_view name : kFusedOps) {
    int i = FastOpIndex(OperationNumber(name));
    if (i < 0 || !isa::kOperations[OperationNumber(name)].sets_flags) return false;
  }
  for (std::string_view name : kFastUnary)
    if (UnaryNumber(name) == 32) return false;
  return true;
}
static_assert(FastOpsAreIntegerOperations(),
              "fast operations are integer operations of isa.h; fused ones set flags");

constexpr uint32_t KindPair(DKind d, SKind s) {
  return static_cast<uint32_t>(d) * kSKinds + static_cast<uint32_t>(s);
}
// Whether a kind pair has handlers of its own for the fast operations: one of its operands is a
// register or an immediate, or the source's address is fixed.
constexpr bool HasOwnHandlers(DKind d, SKind s) {
  return d == DKind::kReg || s == SKind::kFixed || s == SKind::kImm;
}
// Those pairs, numbered in the order of KindPair.
inline constexpr auto kOwnPairIndex = [] {
  std::array<int8_t, kDKinds * kSKinds> t{};
  int8_t n = 0;
  for (uint32_t d = 0; d < kDKinds; ++d)
    for (uint32_t s = 0; s < kSKinds; ++s)
      t[d * kSKinds + s] = HasOwnHandlers(DKind(d), SKind(s)) ? n++ : int8_t{-1};
  return t;
}();
inline constexpr uint32_t kOwnPairCount = 10;
static_assert(kOwnPairIndex[KindPair(DKind::kInd, SKind::kImm)] == kOwnPairCount - 1);

// ---------------------------------------------------------------------------------------------
// Handler numbers

enum Handler : uint16_t {
  kHDecode,  // not decoded yet: decode, then run
  kHFar,     // continue at the entry's pc through the page directory
  kHStep,    // run this one instruction in the reference loop
  kHNop,
  kHJump,
  kHBranch,  // branch on flags
  kHJsr,
  kHJsrReg,
  kHJumpTable,
  kHEnter,
  kHReturn,
  kHPush16,
  kHPush32,
  kHPush64,
  kHSys,
  kHGenericTwoOp,  // + KindPair: any other two-operand operation
  kHGenericUnary = kHGenericTwoOp + kDKinds * kSKinds,    // + DKind: any other unary operation
  kHTestBranch = kHGenericUnary + kDKinds,                // + TestKind * 4 + size
  kHTwoOp = kHTestBranch + 12,                            // + TwoOpIndex
  kHFused = kHTwoOp + kOwnPairCount * kFastOpCount * 4,   // + FusedIndex
  kHUnary = kHFused + kOwnPairCount * kFusedOpCount * 4,  // + UnaryIndex
  kHandlerCount = kHUnary + 4 * kFastUnaryCount * 4,
};

// Where a test-and-branch finds its operand: at an address fixed when it was decoded (a
// register slot, or an absolute address), at the address in a register, or at FP + x1.
enum class TestKind : uint8_t { kFixed, kInd, kFp };

// The handlers of a pair with handlers of its own (HasOwnHandlers).
constexpr uint16_t TwoOpHandler(DKind d, SKind s, uint32_t fast_op, uint32_t size) {
  const auto pair = static_cast<uint32_t>(kOwnPairIndex[KindPair(d, s)]);
  return static_cast<uint16_t>(kHTwoOp + (pair * kFastOpCount + fast_op) * 4 + size);
}
constexpr uint16_t FusedHandler(DKind d, SKind s, uint32_t fused_op, uint32_t size) {
  const auto pair = static_cast<uint32_t>(kOwnPairIndex[KindPair(d, s)]);
  return static_cast<uint16_t>(kHFused + (pair * kFusedOpCount + fused_op) * 4 + size);
}
constexpr uint16_t UnaryHandler(DKind k, uint32_t fast_unary, uint32_t size) {
  return static_cast<uint16_t>(
      kHUnary + (static_cast<uint32_t>(k) * kFastUnaryCount + fast_unary) * 4 + size);
}

// Every two-operand form has a kind pair, and the kind pairs of the forms are exactly the
// kDKinds x kSKinds the loop provides handlers for.
constexpr bool EveryKindPairIsAForm() {
  for (uint32_t pair = 0; pair < kDKinds * kSKinds; ++pair) {
    bool found = false;
    for (const isa::FormInfo& f : isa::kForms)
      found |= KindPair(DKindOf(f.dst), SKindOf(f.src)) == pair;
    if (!found) return false;
  }
  return true;
}
static_assert(EveryKindPairIsAForm());

}  // namespace orva::vm::fast
