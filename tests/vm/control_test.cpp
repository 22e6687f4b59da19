// Branches, jumps, calls, frames and the pushes of immediates.
#include <gtest/gtest.h>

#include "support/encode.h"
#include "support/test_vm.h"
#include "vm/isa.h"

namespace orva::test {
namespace {

using vm::StopKind;

// Runs a branch on flags with the given FLAGS and reports whether it was taken.
bool BranchTaken(uint32_t cond, uint8_t flags) {
  TestVm t;
  t.host.mem.SetFLAGS(flags);
  t.Emit({BranchFlags(cond, 0x800), kHalt});
  t.At(0x800);
  t.Emit({kHalt});
  return t.Run().pc == 0x800;
}

TEST(Branch, ConditionsReadTheFlags) {
  // FLAGS: 0 positive non-zero even, 1 odd, 2 zero, 4 negative even, 5 negative odd.
  struct Row {
    uint32_t cond;
    bool at0, at1, at2, at4, at5;
  };
  const Row rows[] = {
      {0, false, false, true, false, false},  // eq
      {1, true, true, false, true, true},     // ne
      {2, true, true, true, false, false},    // ge
      {3, true, true, false, false, false},   // gt
      {4, false, false, true, true, true},    // le
      {5, false, false, false, true, true},   // lt
      {6, true, false, true, true, false},    // even
      {7, false, true, false, false, true},   // odd
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.cond);
    EXPECT_EQ(BranchTaken(r.cond, 0), r.at0);
    EXPECT_EQ(BranchTaken(r.cond, 1), r.at1);
    EXPECT_EQ(BranchTaken(r.cond, 2), r.at2);
    EXPECT_EQ(BranchTaken(r.cond, 4), r.at4);
    EXPECT_EQ(BranchTaken(r.cond, 5), r.at5);
  }
}

TEST(Branch, WorkedEncodingsAfterACompare) {
  EXPECT_EQ(vm::isa::TargetOf(0x002002B4), 0x2000u);
  TestVm t;
  t.SetR(1, 5);
  // cmp.l r1, #5; bgt 0x900 (not taken); bge 0xA00 (taken)
  t.Emit({TwoOp(30, "cmp", kL, 1, Short(5)), BranchFlags(3, 0x900), BranchFlags(2, 0xA00), kHalt});
  t.At(0xA00);
  t.Emit({kHalt});
  EXPECT_EQ(t.Run().pc, 0xA00u);
}

TEST(Branch, AnAddBetweenCompareAndBranchLeavesTheFlags) {
  TestVm t;
  t.SetR(1, 1);
  t.Emit({TwoOp(30, "cmp", kL, 1, Short(2)), TwoOp(30, "add", kL, 1, Short(5)),
          BranchFlags(5, 0x900), kHalt});
  t.At(0x900);
  t.Emit({kHalt});
  EXPECT_EQ(t.Run().pc, 0x900u);
}

TEST(TestAndBranch, OperandModesAndFlags) {
  TestVm t;
  t.host.mem.SetFP(6000);
  t.SetR(3, 7000);
  t.SetU32(7000, 0);
  t.SetU32(7100, 0x80);
  t.SetU32(6016, 0x100);
  // Mode 0 tests R3 itself (not zero); mode 2 the memory R3 points to (zero).
  EXPECT_EQ(0x00100040u, TestBranch(0, kL, 0, 0x1000));
  t.Emit({0x00100040, 3, TestBranch(2, kL, 0, 0x1000), 3, kHalt});
  t.At(0x1000);
  uint32_t landed = t.Emit({TestBranch(1, kB, 5, 0x1100), 7100, kHalt});
  t.At(0x1100);
  t.Emit({TestBranch(3, kB, 0, 0x1200), 16, kHalt});
  t.At(0x1200);
  t.Emit({kHalt});
  vm::Stop stop = t.Run();
  EXPECT_NE(landed, 0u);
  EXPECT_EQ(stop.pc, 0x1200u);  // [FP+16] as a BYTE is 0
  EXPECT_EQ(t.mem().FLAGS(), 2);
}

TEST(Jump, DirectAndThroughATable) {
  TestVm t;
  t.SetR(4, 7000);
  t.SetU32(7000 + 12, 0x1000);
  t.Emit({Jump(0x900)});
  t.At(0x900);
  t.Emit({JumpTable(4, 12)});
  t.At(0x1000);
  t.Emit({kHalt});
  EXPECT_EQ(t.Run().pc, 0x1000u);
}

TEST(Calls, JsrBuildsTheFrameAndReturnRemovesTheArguments) {
  TestVm t;
  uint32_t sp = t.mem().SP();
  t.SetR(12, 0x1212);
  t.SetR(13, 0x1313);
  // Caller: push two LONG arguments, JSR with 8 argument bytes, halt.
  t.Emit({Push32W(11), Push32W(22), 0x00080054, 0x900});
  uint32_t after = t.Emit({kHalt});
  // Callee: entry with n = 2 and 16 bytes of locals; clobber R12/R13; R1 = first argument.
  t.At(0x900);
  t.Emit({0x00040954, TwoOp(30, "mov", kQ, 12, 0), TwoOp(30, "mov", kQ, 13, 0),
          TwoOp(17, "mov", kL, 1, D16(12)), TwoOp(17, "mov", kL, 2, D16(16)),
          TwoOp(17, "mov", kL, 3, D16(8)), 0x00000A54});
  vm::Stop stop = t.Run();
  EXPECT_EQ(stop.pc, after);
  EXPECT_EQ(t.mem().SP(), sp);
  EXPECT_EQ(t.R(1), 22u);  // the last argument pushed is the first
  EXPECT_EQ(t.R(2), 11u);
  EXPECT_EQ(t.R(3), 8u);  // the argument byte count
  EXPECT_EQ(t.R(12), 0x1212u);
  EXPECT_EQ(t.R(13), 0x1313u);
  EXPECT_EQ(t.host.machine.pc_pre_jsr, 520u + 4);  // just past the JSR word
}

TEST(Calls, EntrySavesTheRegistersJustBelowR14) {
  TestVm t;
  uint32_t sp = t.mem().SP();
  for (uint32_t r = 0; r < 16; ++r) t.SetR(r, 0x100 + r);
  t.Emit({Enter(2, 16), kHalt});
  t.Run();
  uint32_t fp = t.mem().FP();
  EXPECT_EQ(fp, sp - 4);
  EXPECT_EQ(t.mem().SP(), fp - 16 - 16);
  EXPECT_EQ(t.U64(t.mem().SP()), 0x10Cu);  // R12 at the lowest address
  EXPECT_EQ(t.U64(t.mem().SP() + 8), 0x10Du);
}

TEST(Calls, JsrThroughARegisterReturnsPastItsOneWord) {
  TestVm t;
  t.SetR(7, 0x900);
  t.Emit({JsrReg(7, 0)});
  uint32_t after = t.Emit({kHalt});
  t.At(0x900);
  t.Emit({Enter(0, 0), Return(0)});
  EXPECT_EQ(t.Run().pc, after);
  EXPECT_EQ(t.host.machine.pc_pre_jsr, 516u);
}

TEST(Calls, ReturnToAddressZeroEndsTheRun) {
  TestVm t;
  uint32_t sp = t.mem().SP();
  t.host.mem.SetFP(0x4444);
  // The frame of a message: return address 0, 16 argument bytes, four arguments.
  t.host.mem.SetSP(sp - 24);
  t.SetU32(sp - 24, 0);
  t.SetU32(sp - 20, 16);
  t.Emit({Enter(0, 0), Return(0)});
  vm::Stop stop = t.Run();
  EXPECT_EQ(stop.kind, StopKind::kReturned);
  EXPECT_EQ(t.mem().PC(), 0u);
  EXPECT_EQ(t.mem().SP(), sp);
  EXPECT_EQ(t.mem().FP(), 0x4444u);
}

TEST(Pushes, ImmediatesOfEveryWidth) {
  TestVm t;
  uint32_t sp = t.mem().SP();
  t.Emit({0xFFFFFC00 | 756, 0xFFFFFC00 | 244, kPush16X, 0xABCD1234, kPush32X, 0xDEADBEEF, kPush64X,
          0x89ABCDEF, 0x01234567, Push64W(-2), Push16W(0x8001), kHalt});
  t.Run();
  EXPECT_EQ(t.U32(sp - 4), 0xFFFFFFFFu);      // 756: bits 10-31 sign-extended
  EXPECT_EQ(t.mem().U16At(sp - 6), 0xFFFFu);  // 244: bits 10-25
  EXPECT_EQ(t.mem().U16At(sp - 8), 0x1234u);  // 116: low half of x1
  EXPECT_EQ(t.U32(sp - 12), 0xDEADBEEFu);
  EXPECT_EQ(t.U64(sp - 20), 0x0123456789ABCDEFu);
  EXPECT_EQ(t.U64(sp - 28), static_cast<uint64_t>(-2));
  EXPECT_EQ(t.mem().U16At(sp - 30), 0x8001u);
  EXPECT_EQ(t.mem().SP(), sp - 30);
}

TEST(Nops, AreOneWord) {
  TestVm t;
  t.Emit({31, 1023, 300, 556, 812, 404, 660});
  uint32_t halt = t.Emit({kHalt});
  EXPECT_EQ(t.Run().pc, halt);
}

TEST(Halt, LeavesPcAtItself) {
  TestVm t;
  t.Emit({kNop, kHalt});
  vm::Stop stop = t.Run();
  EXPECT_EQ(stop.kind, StopKind::kHalt);
  EXPECT_EQ(t.mem().PC(), 516u);
}

}  // namespace
}  // namespace orva::test
