// Unary operations: negate, complement, test, pushes and pops, extensions, no-operations.
#include <gtest/gtest.h>

#include "support/run_op.h"

namespace orva::test {
namespace {

using vm::StopKind;

TEST(Unary, NegateNotAndTestBySize) {
  EXPECT_EQ(RunUnary(UCode("neg", kB), 0x1101).value, 0x11FFu);
  EXPECT_EQ(RunUnary(UCode("neg", kQ), 1).value, ~0ull);
  EXPECT_EQ(RunUnary(UCode("neg", kL), 5).flags, 0xA8);  // no flags
  OpResult n = RunUnary(UCode("not", kW), 0xAAAA00FF);
  EXPECT_EQ(n.value, 0xAAAAFF00u);
  EXPECT_EQ(n.flags, 4);
  EXPECT_EQ(RunUnary(UCode("not", kB), 0xFF).flags, 2);
  OpResult t = RunUnary(UCode("tst", kL), 0x80000001);
  EXPECT_EQ(t.value, 0x80000001u);
  EXPECT_EQ(t.flags, 5);
}

TEST(Unary, ExtendInPlaceToEightBytes) {
  EXPECT_EQ(RunUnary(UCode("zext", kB), 0xFFFFFFFFFFFFFF80).value, 0x80u);
  EXPECT_EQ(RunUnary(UCode("zext", kL), ~0ull).value, 0xFFFFFFFFu);
  EXPECT_EQ(RunUnary(UCode("sext", kB), 0x80).value, 0xFFFFFFFFFFFFFF80u);
  EXPECT_EQ(RunUnary(UCode("sext", kW), 0x7FFF).value, 0x7FFFu);
  EXPECT_EQ(RunUnary(UCode("sext", kL), 0x80000000).value, 0xFFFFFFFF80000000u);
}

TEST(Unary, NoOperationCodesStepOverTheirExtensionWord) {
  for (uint32_t code : {35u, 39u}) {
    TestVm t;
    t.SetU64(7000, 0x1234);
    t.Emit({Unary(kUAbs, code), 7000});
    uint32_t halt = t.Emit({kHalt});
    EXPECT_EQ(t.Run().pc, halt);
    EXPECT_EQ(t.U64(7000), 0x1234u);
  }
}

TEST(Unary, IllegalCodesStopWithPcPastTheWholeInstruction) {
  for (uint32_t code : {28u, 31u, 72u, 100u, 127u}) {
    TestVm t;
    t.Emit({Unary(kURegDisp, code, 1), 0});
    vm::Stop stop = t.Run();
    EXPECT_EQ(stop.kind, StopKind::kIllegalOpcode) << code;
    EXPECT_EQ(stop.pc, 512u);
    EXPECT_EQ(t.mem().PC(), 520u);
  }
}

TEST(Stack, PushesAndPopsBySize) {
  TestVm t;
  uint32_t sp = t.mem().SP();
  t.SetR(1, 0x1122334455667780);
  t.Emit({Unary(kUSlot, UCode("push", kB), 1), Unary(kUSlot, UCode("push", kW), 1),
          Unary(kUSlot, UCode("push", kL), 1), Unary(kUSlot, UCode("push", kQ), 1),
          Unary(kUSlot, UCode("pusha", kB), 1), kHalt});
  t.Run();
  EXPECT_EQ(t.mem().SP(), sp - 2 - 2 - 4 - 8 - 4);
  EXPECT_EQ(t.host.mem.U16At(sp - 2), 0x0080u);  // a byte goes on the stack as 16 bits
  EXPECT_EQ(t.host.mem.U16At(sp - 4), 0x7780u);
  EXPECT_EQ(t.U32(sp - 8), 0x55667780u);
  EXPECT_EQ(t.U64(sp - 16), 0x1122334455667780u);
  EXPECT_EQ(t.U32(sp - 20), vm::RegOffset(1));  // push address

  t.At(600);
  t.SetR(2, ~0ull);
  t.Emit({Unary(kUSlot, UCode("pop", kL), 2), Unary(kUSlot, UCode("pop", kQ), 3),
          Unary(kUSlot, UCode("pop", kL), 4), Unary(kUSlot, UCode("pop", kW), 5),
          Unary(kUSlot, UCode("pop", kB), 6), kHalt});
  t.Run(600);
  EXPECT_EQ(t.mem().SP(), sp);
  EXPECT_EQ(t.R(2), 0xFFFFFFFF00000000u | vm::RegOffset(1));
  EXPECT_EQ(t.R(3), 0x1122334455667780u);
  EXPECT_EQ(t.R(4) & 0xFFFFFFFF, 0x55667780u);
  EXPECT_EQ(t.R(5) & 0xFFFF, 0x7780u);
  EXPECT_EQ(t.R(6) & 0xFF, 0x80u);
}

TEST(Stack, PushingBelowTheStackLimitIsAStackOverflow) {
  TestVm t;
  uint32_t lim = t.mem().STKLIM();
  t.host.mem.SetSP(lim + 4);
  t.Emit({Unary(kUSlot, UCode("push", kL), 1), Unary(kUSlot, UCode("push", kL), 1)});
  vm::Stop stop = t.Run();
  EXPECT_EQ(stop.kind, StopKind::kStackOverflow);
  EXPECT_EQ(stop.pc, 516u);
  EXPECT_EQ(t.mem().SP(), lim);  // unchanged by the refused push
  EXPECT_EQ(t.mem().PC(), 520u);
}

}  // namespace
}  // namespace orva::test
