// PC, SP, FP and FLAGS live in the loop's locals; the header shows them to everyone who looks,
// and a store into one of them does not outlast its instruction, whatever the path.
#include <gtest/gtest.h>

#include "support/encode.h"
#include "support/run_op.h"
#include "support/test_vm.h"
#include "vm/image.h"

namespace orva::test {
namespace {

using vm::StopKind;

TEST(HeldState, EveryWayOfReadingTheHeaderSeesTheCurrentValues) {
  TestVm t;
  t.host.mem.SetFLAGS(0);
  t.SetR(3, 1);
  uint32_t sp = t.mem().SP();
  // Change SP and FLAGS, then read them back through an absolute operand, a unary slot, a
  // test-and-branch on slot 19 and a base register pointing into the header.
  t.Emit({Push32W(7), TwoOp(30, "sub", kL, 3, Short(2)),  // SP - 4; FLAGS negative
          TwoOp(26, "mov", kL, 4), vm::kOffSP,            // R4 = [160]
          TwoOp(26, "mov", kB, 5), vm::kOffFLAGS,         // R5 = [192]
          Unary(kUSlot, UCode("push", kL), 19),           // push SP's slot
          TestBranch(0, kL, 1, 0x900), 19,                // SP is not zero: taken
          kHalt});
  t.At(0x900);
  t.SetR(6, vm::kOffPC);
  t.Emit({TwoOp(18, "mov", kL, 7, 6), 0, kHalt});  // R7 = [R6 + 0] = this PC
  ASSERT_EQ(t.Run().kind, StopKind::kHalt);
  EXPECT_EQ(t.R(4), sp - 4);
  EXPECT_EQ(t.R(5), 5u);
  EXPECT_EQ(t.U32(sp - 8), sp - 4);
  EXPECT_EQ(t.R(7), 0x900u);
}

TEST(HeldState, StoresIntoHeldFieldsAreUndoneOnEveryPath) {
  TestVm t;
  uint32_t sp = t.mem().SP();
  t.host.mem.SetFP(0x1000);
  t.host.mem.SetFLAGS(0);
  t.Emit({TwoOp(29, "mov", kL, Short(0)), vm::kOffSP,  // two-operand, absolute
          Unary(kUAbs, UCode("neg", kL)), vm::kOffFP,  // unary, absolute
          Unary(kUSlot, UCode("neg", kB), 23),         // FLAGS through slot 23
          TwoOp(21, "bmov", kB), vm::kOffSP, 7000,     // block move over SP
          kHalt});
  t.SetU32(vm::kOffMCOUNT, 4);
  t.SetU32(7000, 0xDEAD);
  ASSERT_EQ(t.Run().kind, StopKind::kHalt);
  EXPECT_EQ(t.mem().SP(), sp);
  EXPECT_EQ(t.mem().FP(), 0x1000u);
  EXPECT_EQ(t.mem().FLAGS(), 0);
}

TEST(HeldState, AStackThatRunsIntoTheHeaderStillLeavesTheHeldFieldsAlone) {
  TestVm t;
  // A program that lowered STKLIM and moved its stack to just above FLAGS.
  t.SetU32(vm::kOffSTKLIM, 0);
  t.host.mem.SetSP(196);
  t.host.mem.SetFP(0x1000);
  t.host.mem.SetFLAGS(2);
  t.Emit({Push64W(-1), Push64W(-1), Push64W(-1), Push64W(-1), kHalt});
  ASSERT_EQ(t.Run().kind, StopKind::kHalt);
  EXPECT_EQ(t.mem().SP(), 196u - 32);
  EXPECT_EQ(t.mem().FP(), 0x1000u);
  EXPECT_EQ(t.mem().FLAGS(), 2);
}

TEST(HeldState, ServicesSeeTheSysInstructionAndCannotChangeTheHeldFields) {
  TestVm t;
  t.host.mem.SetFP(0x1000);
  // Group 2 command 2 writes the date over SP, FP and their neighbours.
  t.SetU32(7000, 0x0202);
  t.SetU32(7004, vm::kOffSP);
  t.SetR(15, 7000);
  uint32_t sp = t.mem().SP();
  uint32_t sys = t.Emit({kNop, kSys});
  ASSERT_EQ(t.Emit({kHalt}), sys + 8);
  EXPECT_EQ(t.Run().kind, StopKind::kHalt);
  EXPECT_EQ(t.mem().SP(), sp);
  EXPECT_EQ(t.mem().FP(), 0x1000u);
}

TEST(HeldState, CodeRunFromTheHeaderReadsTheCurrentFields) {
  TestVm t;
  // Jump to the FLAGS byte: with FLAGS = 0x1F and the bytes after it zero, the word there is
  // opcode 31, a no-operation; the halt follows at 196.
  t.host.mem.SetFLAGS(0x1F);
  t.SetU32(196, kHalt);
  t.Emit({Jump(192)});
  vm::Stop stop = t.Run();
  EXPECT_EQ(stop.kind, StopKind::kHalt);
  EXPECT_EQ(stop.pc, 196u);
}

}  // namespace
}  // namespace orva::test
