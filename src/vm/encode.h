// The inverse of isa.h's field getters: named opcodes, word builders, and the assembly names of
// the instructions that are not two-operand or unary operations. The assembler builds words with
// these; the disassembler checks that a word is exactly what they would build. Every constant
// here is tied back to isa.h's opcode map by a static_assert, so isa.h stays the one description.
#pragma once

#include <cstdint>
#include <string_view>

#include "vm/isa.h"

namespace orva::vm::isa {

// ---------------------------------------------------------------------------------------------
// Opcodes of the fixed-opcode classes (the first of each row where a row has alternatives)

inline constexpr uint32_t kOpTestBranch = 0;  // plus mode, size, condition and target fields
inline constexpr uint32_t kOpJumpTable = 12;  // plus register and displacement fields
inline constexpr uint32_t kOpDebugPrint = 20;
inline constexpr uint32_t kOpNop = 31;  // form 31, the canonical no-operation
inline constexpr uint32_t kOpJump = 44;
inline constexpr uint32_t kOpBranchFlags = 52;  // plus condition and target fields
inline constexpr uint32_t kOpJsr = 84;
inline constexpr uint32_t kOpPush16X = 116;
inline constexpr uint32_t kOpPush16W = 244;
inline constexpr uint32_t kOpSys = 276;
inline constexpr uint32_t kOpEnter = 340;
inline constexpr uint32_t kOpHalt = 532;
inline constexpr uint32_t kOpReturn = 596;
inline constexpr uint32_t kOpPush32X = 628;
inline constexpr uint32_t kOpPush32W = 756;
inline constexpr uint32_t kOpModal = 788;
inline constexpr uint32_t kOpJsrReg = 852;
inline constexpr uint32_t kOpPush64X = 884;
inline constexpr uint32_t kOpEmod = 916;
inline constexpr uint32_t kOpPush64W = 1012;

static_assert(kOpcodeClass[kOpTestBranch] == OpClass::kTestBranch);
static_assert(kOpcodeClass[kOpJumpTable] == OpClass::kJumpTable);
static_assert(kOpcodeClass[kOpDebugPrint] == OpClass::kDebugPrint);
static_assert(kOpcodeClass[kOpNop] == OpClass::kNop);
static_assert(kOpcodeClass[kOpJump] == OpClass::kJump);
static_assert(kOpcodeClass[kOpBranchFlags] == OpClass::kBranchFlags);
static_assert(kOpcodeClass[kOpJsr] == OpClass::kJsr);
static_assert(kOpcodeClass[kOpPush16X] == OpClass::kPush16X);
static_assert(kOpcodeClass[kOpPush16W] == OpClass::kPush16W);
static_assert(kOpcodeClass[kOpSys] == OpClass::kSys);
static_assert(kOpcodeClass[kOpEnter] == OpClass::kEnter);
static_assert(kOpcodeClass[kOpHalt] == OpClass::kHalt);
static_assert(kOpcodeClass[kOpReturn] == OpClass::kReturn);
static_assert(kOpcodeClass[kOpPush32X] == OpClass::kPush32X);
static_assert(kOpcodeClass[kOpPush32W] == OpClass::kPush32W);
static_assert(kOpcodeClass[kOpModal] == OpClass::kModal);
static_assert(kOpcodeClass[kOpJsrReg] == OpClass::kJsrReg);
static_assert(kOpcodeClass[kOpPush64X] == OpClass::kPush64X);
static_assert(kOpcodeClass[kOpEmod] == OpClass::kEmod);
static_assert(kOpcodeClass[kOpPush64W] == OpClass::kPush64W);

// ---------------------------------------------------------------------------------------------
// Word builders. Arguments are assumed in range; the assembler checks them first.

constexpr uint32_t TwoOpWord(uint32_t form, uint32_t operation, uint32_t size,
                             uint32_t r1_or_short5, uint32_t high16) {
  return form | (r1_or_short5 & 15) << 5 | (size & 3) << 9 | (operation & 31) << 11 | high16 << 16;
}
constexpr uint32_t UnaryWord(uint32_t form, uint32_t code, uint32_t high16) {
  return form | (code & 127) << 8 | high16 << 16;
}
constexpr uint32_t TargetField(uint32_t target) { return (target >> 2) << 10; }
constexpr uint32_t TestBranchWord(uint32_t mode, uint32_t size, uint32_t cond, uint32_t target) {
  return kOpTestBranch | (mode & 3) << 3 | (size & 3) << 5 | (cond & 7) << 7 | TargetField(target);
}
constexpr uint32_t BranchFlagsWord(uint32_t cond, uint32_t target) {
  return kOpBranchFlags | (cond & 7) << 7 | TargetField(target);
}
constexpr uint32_t JumpWord(uint32_t target) { return kOpJump | TargetField(target); }
constexpr uint32_t JumpTableWord(uint32_t reg, uint32_t table) {
  return kOpJumpTable | (reg & 15) << 6 | TargetField(table);
}
constexpr uint32_t JsrWord(uint32_t arg_bytes) { return kOpJsr | arg_bytes << 16; }
constexpr uint32_t JsrRegWord(uint32_t reg, uint32_t arg_bytes) {
  return kOpJsrReg | (reg & 15) << 12 | arg_bytes << 16;
}
constexpr uint32_t EnterWord(uint32_t regs, uint32_t locals) {
  return kOpEnter | (regs & 15) << 10 | locals << 14;
}
constexpr uint32_t ReturnWord(uint32_t regs) { return kOpReturn | (regs & 15) << 10; }
// The one-word immediate pushes keep their value in bits 10-25 (16 bit) or 10-31 (22 bit).
constexpr uint32_t Push16Word(uint32_t value) { return kOpPush16W | (value & 0xFFFF) << 10; }
constexpr uint32_t PushImm22Word(uint32_t opcode, uint32_t value) { return opcode | value << 10; }

inline constexpr uint32_t kMaxFrameRegs = 15;
inline constexpr uint32_t kMaxFrameLocals = (1u << 18) - 1;
inline constexpr int32_t kImm22Min = -(1 << 21), kImm22Max = (1 << 21) - 1;
inline constexpr int32_t kShortMin = -8, kShortMax = 7;

// Whether an immediate has a short (4-bit) encoding that supplies the same value. Sizes 0-2 take
// the short value sign-extended to 32 bits. A 64-bit operation takes it sign-extended to 32 bits
// and then zero-extended, so a negative short would not mean the 64-bit negative number: only
// 0..7 are short there.
constexpr bool ShortImmediateFits(uint64_t value, uint32_t size) {
  if (size == 3) return value <= static_cast<uint64_t>(kShortMax);
  const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(value));
  return v >= kShortMin && v <= kShortMax;
}
// Whether a value fits the signed 22-bit field of the one-word pushes.
constexpr bool Imm22Fits(int64_t v) { return v >= kImm22Min && v <= kImm22Max; }

static_assert(TwoOpWord(28, 6, 2, 1, 2) == 0x0002343C);        // add.l r1, r2
static_assert(UnaryWord(kUnarySlot, 18, 5) == 0x000512D4);     // push.l r5
static_assert(TestBranchWord(0, 2, 0, 0x1000) == 0x00100040);  // tbeq.l r3, 0x1000
static_assert(BranchFlagsWord(5, 0x2000) == 0x002002B4);       // blt 0x2000
static_assert(EnterWord(2, 16) == 0x00040954 && ReturnWord(2) == 0x00000A54);
static_assert(JsrWord(8) == 0x00080054);

// ---------------------------------------------------------------------------------------------
// Assembly names beyond the operation tables of isa.h

inline constexpr std::string_view kTestBranchPrefix = "tb";  // tb<cond>.<size> operand, target
inline constexpr std::string_view kBranchPrefix = "b";       // b<cond> target
inline constexpr std::string_view kJumpName = "jmp";         // jmp target | jmp [rN+table]
inline constexpr std::string_view kJsrName = "jsr";          // jsr target|rN, argbytes
inline constexpr std::string_view kEnterName = "enter";      // enter nregs, locals
inline constexpr std::string_view kReturnName = "ret";       // ret nregs

// Instructions that are one fixed word with no operands.
struct FixedInstruction {
  std::string_view name;
  uint32_t word;
};
inline constexpr FixedInstruction kFixedInstructions[] = {
    {"dbg", kOpDebugPrint}, {"sys", kOpSys},   {"halt", kOpHalt},
    {"modal", kOpModal},    {"emod", kOpEmod}, {"nop", kOpNop},
};

// Test-and-branch operand modes (bits 3-4); x1 carries the slot, address or FP offset.
enum TbMode : uint32_t { kTbSlot = 0, kTbAbs = 1, kTbIndirect = 2, kTbFp = 3 };

// Operations that use only the source's address or produce a size-independent result: their size
// suffix may be left out in assembly, meaning .l.
constexpr bool SizeIsOptionalTwoOp(uint32_t operation) { return operation == 22; }  // lea
constexpr bool SizeIsOptionalUnary(uint32_t op) {
  return op == 6 || (op >= 14 && op <= 17);  // pusha, cvtfi, cvtdi, cvtfd, cvtdf
}
inline constexpr uint32_t kUnaryFneg = 0, kUnaryPush = 4;

}  // namespace orva::vm::isa
