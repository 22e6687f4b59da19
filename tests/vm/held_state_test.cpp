// PC, SP, FP and FLAGS live in the loop's locals; the header shows them to everyone who looks,
// and a store into one of them does not outlast its instruction, whatever the path.
#include <gtest/gtest.h>

#include "support/encode.h"
#include "support/test_vm.h"
#include "vm/image.h"

namespace orva::test {
namespace {

using vm::StopKind;

TEST(HeldState, EveryWayOfReadingTheHeaderSeesTheCurrentValues) {
  // The programs read SP and FLAGS through absolute operands; these are the other ways in.
  TestVm t;
  t.SetR(6, vm::kOffPC);
  uint32_t sp = t.mem().SP();
  t.Emit({Push32W(7),                            // SP - 4
          Unary(kUSlot, UCode("push", kL), 19),  // a unary slot
          TestBranch(0, kL, 1, 0x900), 19,       // a test-and-branch slot
          kHalt});
  t.At(0x900);
  t.Emit({TwoOp(18, "mov", kL, 7, 6), 0, kHalt});  // a base register: this instruction's PC
  ASSERT_EQ(t.Run().kind, StopKind::kHalt);
  EXPECT_EQ(t.U32(sp - 8), sp - 4);
  EXPECT_EQ(t.R(7), 0x900u);
}

TEST(HeldState, StoresIntoHeldFieldsAreUndoneOnEveryPath) {
  TestVm t;
  uint32_t sp = t.mem().SP();
  t.host.mem.SetFP(0x1000);
  t.host.mem.SetFLAGS(0);
  t.SetU32(vm::kOffMCOUNT, 4);
  t.SetU32(7000, 0xDEAD);
  // Group 2 command 2 writes the date over SP, FP and their neighbours.
  t.SetU32(7100, 0x0202);
  t.SetU32(7104, vm::kOffSP);
  t.SetR(15, 7100);
  t.Emit({Unary(kUAbs, UCode("neg", kL)), vm::kOffFP,  // unary, absolute
          Unary(kUSlot, UCode("neg", kB), 23),         // FLAGS through slot 23
          TwoOp(21, "bmov", kB), vm::kOffSP, 7000,     // a block move over SP
          kSys,                                        // a service writing over them
          kHalt});
  ASSERT_EQ(t.Run().kind, StopKind::kHalt);
  EXPECT_EQ(t.mem().SP(), sp);
  EXPECT_EQ(t.mem().FP(), 0x1000u);
  EXPECT_EQ(t.mem().FLAGS(), 0);
}

TEST(HeldState, AStackInTheHeaderAndCodeRunFromItStayConsistent) {
  TestVm t;
  // A program that lowered STKLIM and moved its stack to just above FLAGS pushes over the held
  // fields; then it runs the FLAGS byte as code (0x1F: a no-operation) up to a halt at 196.
  t.SetU32(vm::kOffSTKLIM, 0);
  t.host.mem.SetSP(196);
  t.host.mem.SetFP(0x1000);
  t.host.mem.SetFLAGS(0x1F);
  t.SetU32(196, kHalt);
  t.Emit({Push64W(-1), Push64W(-1), Push64W(-1), Push64W(-1), Jump(192)});
  vm::Stop stop = t.Run();
  EXPECT_EQ(stop.kind, StopKind::kHalt);
  EXPECT_EQ(stop.pc, 196u);
  EXPECT_EQ(t.mem().SP(), 196u - 32);
  EXPECT_EQ(t.mem().FP(), 0x1000u);
}

}  // namespace
}  // namespace orva::test
