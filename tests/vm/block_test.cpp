// Load address, block move, block push and block copy from the stack top.
#include <gtest/gtest.h>

#include <cstring>

#include "support/encode.h"
#include "support/test_vm.h"

namespace orva::test {
namespace {

using vm::StopKind;

TEST(LoadAddress, WritesFourBytesWhateverTheSize) {
  TestVm t;
  t.host.mem.SetFP(5000);
  t.SetR(1, ~0ull);
  t.SetR(2, ~0ull);
  t.Emit({TwoOp(17, "lea", kB, 1, D16(8)), TwoOp(17, "lea", kQ, 2, D16(-8)), kHalt});
  t.Run();
  EXPECT_EQ(t.R(1), 0xFFFFFFFF00000000u | 5008);
  EXPECT_EQ(t.R(2), 0xFFFFFFFF00000000u | 4992);
}

TEST(LoadAddress, OfAnAddressOutsideTheImageIsJustANumber) {
  TestVm t;
  t.SetR(2, 0xFFFFFF00);
  t.Emit({TwoOp(18, "lea", kL, 1, 2), 0x10, kHalt});
  EXPECT_EQ(t.Run().kind, StopKind::kHalt);
  EXPECT_EQ(t.R(1), 0xFFFFFF10u);
}

TEST(BlockMove, CopiesMcountElementsOfTheSize) {
  TestVm t;
  for (uint32_t i = 0; i < 32; ++i) t.host.mem.SetU8At(7000 + i, static_cast<uint8_t>(i + 1));
  t.SetU32(vm::kOffMCOUNT, 3);
  t.Emit({TwoOp(21, "bmov", kL), 7100, 7000, kHalt});
  t.Run();
  for (uint32_t i = 0; i < 12; ++i) EXPECT_EQ(t.mem().U8At(7100 + i), i + 1);
  EXPECT_EQ(t.mem().U8At(7112), 0u);

  t.SetU32(vm::kOffMCOUNT, 0);
  t.At(600);
  t.Emit({TwoOp(21, "bmov", kQ), 7200, 7000, kHalt});
  t.Run(600);
  EXPECT_EQ(t.U64(7200), 0u);
}

TEST(BlockMove, OverlappingRangesCopyAsThroughABuffer) {
  TestVm t;
  for (uint32_t i = 0; i < 16; ++i) t.host.mem.SetU8At(7000 + i, static_cast<uint8_t>(i));
  t.SetU32(vm::kOffMCOUNT, 8);
  t.Emit({TwoOp(21, "bmov", kB), 7004, 7000, TwoOp(21, "bmov", kW), 7020, 7022, kHalt});
  for (uint32_t i = 0; i < 18; ++i) t.host.mem.SetU8At(7022 + i, static_cast<uint8_t>(100 + i));
  t.Run();
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(t.mem().U8At(7004 + i), i);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(t.mem().U8At(7020 + i), 100 + i);
}

TEST(BlockPush, PushesTheLengthAtDFromTheSourceAddress) {
  TestVm t;
  uint32_t sp = t.mem().SP();
  t.Poke(7000, "abcdefgh");
  t.SetR(1, 0x0305);  // BYTE length 5; WORD length 0x305
  t.Emit({TwoOp(26, "bpush", kB, 1), 7000, kHalt});
  t.Run();
  EXPECT_EQ(t.mem().SP(), sp - 5);
  EXPECT_EQ(std::memcmp(t.mem().base + sp - 5, "abcde", 5), 0);
}

TEST(BlockPush, ImmediateSourcePushesFromImmslot) {
  TestVm t;
  uint32_t sp = t.mem().SP();
  t.SetR(1, 4);
  t.Emit({TwoOp(22, "bpush", kW, 1), 0x11223344, kHalt});
  t.Run();
  EXPECT_EQ(t.U32(sp - 4), 0x11223344u);
}

TEST(BlockPush, MustLeaveOneHundredBytesAboveTheStackLimit) {
  TestVm t;
  uint32_t lim = t.mem().STKLIM();
  t.host.mem.SetSP(lim + 110);
  t.SetR(1, 10);
  t.Emit({TwoOp(26, "bpush", kW, 1), 7000, TwoOp(26, "bpush", kW, 1), 7000});
  vm::Stop stop = t.Run();
  EXPECT_EQ(stop.kind, StopKind::kStackOverflow);
  EXPECT_EQ(stop.pc, 520u);
  EXPECT_EQ(t.mem().SP(), lim + 100);
  EXPECT_EQ(t.mem().PC(), 528u);
}

TEST(BlockCopy, CopiesTheStackTopWithoutPopping) {
  TestVm t;
  uint32_t top = t.mem().STKTOP();
  t.host.mem.SetSP(top - 6);
  t.Poke(top - 6, "stack!");
  t.SetR(1, 6);
  t.Emit({TwoOp(26, "bpeek", kB, 1), 7000, kHalt});
  t.Run();
  EXPECT_EQ(std::memcmp(t.mem().base + 7000, "stack!", 6), 0);
  EXPECT_EQ(t.mem().SP(), top - 6);

  t.SetR(1, 7);  // one byte more than the stack holds
  t.At(600);
  t.Emit({TwoOp(26, "bpeek", kB, 1), 7000});
  EXPECT_EQ(t.Run(600).kind, StopKind::kStackOverflow);
}

}  // namespace
}  // namespace orva::test
