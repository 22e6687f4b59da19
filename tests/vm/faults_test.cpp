// The program is untrusted: every access that would leave the image stops it with the
// bad-address fault at the instruction that tried, and nothing else happens.
#include <gtest/gtest.h>

#include <functional>

#include "support/encode.h"
#include "support/test_vm.h"

namespace orva::test {
namespace {

using vm::StopKind;

struct BadAccess {
  const char* what;
  std::function<void(TestVm&, uint32_t size)> setup;  // registers and header fields
  std::vector<uint32_t> words;                        // the program, from 512
  uint32_t address;                                   // the address reported, from size
  bool from_size = true;                              // `address` counts from the image size
};

TEST(Faults, EveryKindOfAccessOutsideTheImage) {
  const uint32_t at = 512;
  const BadAccess cases[] = {
      {"write straddling the end",
       [](TestVm& t, uint32_t size) { t.SetR(2, size); },
       {TwoOp(2, "mov", kL, 2, 1), -2u},
       -2u},
      {"movz writes 8 bytes",
       [](TestVm& t, uint32_t size) { t.SetR(2, size); },
       {TwoOp(2, "movz", kL, 2, 1), -4u},
       -4u},
      {"wrapped base + displacement",
       [](TestVm& t, uint32_t) { t.SetR(2, 0xFFFFFFF0); },
       {TwoOp(18, "add", kL, 1, 2), 4},
       0xFFFFFFF4,
       false},
      {"unary slot 65535",
       nullptr,
       {Unary(kUSlot, UCode("neg", kL), 0xFFFF)},
       8 + 8 * 65535,
       false},
      {"test-and-branch slot",
       nullptr,
       {TestBranch(0, kL, 0, 0x800), 0x10000000},
       8 + 8 * 0x10000000u,
       false},
      {"jump table entry", [](TestVm& t, uint32_t size) { t.SetR(1, size); }, {JumpTable(1, 0)}, 0},
      {"push above the image",
       [](TestVm& t, uint32_t size) { t.host.mem.SetSP(size + 64); },
       {Push32W(1)},
       60},
      {"pop above the image",
       [](TestVm& t, uint32_t size) { t.host.mem.SetSP(size + 64); },
       {Unary(kUSlot, UCode("pop", kL), 1)},
       64},
      {"return through a frame outside",
       [](TestVm& t, uint32_t size) { t.host.mem.SetFP(size - 8); },
       {Return(0)},
       -8u},
      {"block move of 4 GiB",
       [](TestVm& t, uint32_t) { t.SetU32(vm::kOffMCOUNT, 0x40000000); },
       {TwoOp(21, "bmov", kQ), 7000, 6000},
       7000,
       false},
      {"EMOD chain outside",
       [](TestVm& t, uint32_t size) {
         t.host.machine.modal_depth = 1;
         t.host.mem.SetMODALCHAIN(size - 100);
       },
       {kEmod},
       -100u},
      {"debug string without NUL",
       [](TestVm& t, uint32_t size) {
         for (uint32_t a = size - 16; a < size; ++a) t.host.mem.SetU8At(a, 'x');
         t.SetR(15, size - 16);
       },
       {kDebugPrint},
       -16u},
      {"SYS call block outside",
       [](TestVm& t, uint32_t size) { t.SetR(15, size - 2); },
       {kSys},
       -2u},
      {"SYS argument outside (the date into the last 10 bytes)",
       [](TestVm& t, uint32_t size) {
         t.SetU32(7000, 0x0202);
         t.SetU32(7004, size - 10);
         t.SetR(15, 7000);
       },
       {kSys},
       -10u},
      {"a frame larger than the image (found by the fuzzer)",
       [](TestVm& t, uint32_t) {
         t.SetU32(vm::kOffSTKLIM, 0);
         t.host.mem.SetSP(0xFFFFFF00);
       },
       {Enter(0, 200000)},
       0xFFFFFF00 - 200004,
       false},
  };
  for (const BadAccess& c : cases) {
    SCOPED_TRACE(c.what);
    TestVm t({4096, 4096, 4096, 4096, true});
    uint32_t size = t.mem().size;
    for (uint32_t w : c.words) t.Emit({w});
    if (c.setup) c.setup(t, size);
    vm::Stop stop = t.Run();
    EXPECT_EQ(stop.kind, StopKind::kBadAddress);
    EXPECT_EQ(stop.address, c.from_size ? size + c.address : c.address);
    EXPECT_EQ(stop.pc, at);
  }
}

TEST(Decoding, IllegalEncodingsStopWithPcPastTheInstruction) {
  // opcode 148, operation codes 96 and 119, unary codes 28 and 72 (with their x1)
  const std::vector<uint32_t> cases[] = {{148},
                                         {TwoOpCode(28, 96, 1, 2)},
                                         {TwoOpCode(14, 118, 1), 7000, 1},
                                         {Unary(kUAbs, 28), 7000},
                                         {Unary(kURegDisp, 72, 1), 0}};
  for (const auto& words : cases) {
    TestVm t;
    for (uint32_t w : words) t.Emit({w});
    vm::Stop stop = t.Run();
    EXPECT_EQ(stop.kind, StopKind::kIllegalOpcode) << words[0];
    EXPECT_EQ(stop.pc, 512u);
    EXPECT_EQ(t.mem().PC(), 512 + 4 * words.size());
  }
}

TEST(Decoding, NoOperationsStepOverExactlyTheirWords) {
  TestVm t;
  t.SetU64(7000, 0x1234);
  t.Emit({31, 1023, 300, 556, 812, 404, 660, Unary(kUAbs, 35), 7000, Unary(kUAbs, 39), 7000});
  uint32_t halt = t.Emit({kHalt});
  EXPECT_EQ(t.Run().pc, halt);
  EXPECT_EQ(t.U64(7000), 0x1234u);
}

TEST(Faults, InstructionsAtTheEndOfTheImage) {
  TestVm t;
  const uint32_t size = t.mem().size;
  // Accesses ending exactly at the end are fine (a QUAD shift reads one count byte).
  t.SetU64(size - 8, 0x0102030405060708);
  t.SetR(1, 1);
  t.Emit({TwoOp(26, "mov", kQ, 2), size - 8, TwoOp(26, "lsl", kQ, 1), size - 1, kHalt});
  EXPECT_EQ(t.Run().kind, StopKind::kHalt);
  EXPECT_EQ(t.R(2), 0x0102030405060708u);
  EXPECT_EQ(t.R(1), 2u);

  // A one-word instruction in the last word runs; a two-word one there does not.
  t.At(size - 4);
  t.Emit({kHalt});
  EXPECT_EQ(t.Run(size - 4).kind, StopKind::kHalt);
  t.At(size - 4);
  t.Emit({TwoOp(22, "mov", kL, 1)});
  vm::Stop stop = t.Run(size - 4);
  EXPECT_EQ(stop.kind, StopKind::kBadAddress);
  EXPECT_EQ(stop.address, size);
  EXPECT_EQ(t.mem().PC(), size - 4);
}

TEST(Faults, CallsFramesAndPushesStopAtTheStackLimit) {
  TestVm t;
  const uint32_t lim = t.mem().STKLIM();
  struct {
    uint32_t sp;
    std::vector<uint32_t> words;
  } cases[] = {{lim + 100, {Enter(0, 97)}}, {lim + 139, {kModal}}, {lim + 2, {Push32W(1)}}};
  for (const auto& c : cases) {
    t.At(512);
    for (uint32_t w : c.words) t.Emit({w});
    t.host.mem.SetSP(c.sp);
    EXPECT_EQ(t.Run().kind, StopKind::kStackOverflow);
    EXPECT_EQ(t.mem().SP(), c.sp) << "unchanged by the refused push";
  }
  t.At(512);
  t.Emit({Enter(0, 96), kHalt});  // exactly down to STKLIM is allowed
  t.host.mem.SetSP(lim + 100);
  EXPECT_EQ(t.Run().kind, StopKind::kHalt);
  EXPECT_EQ(t.host.machine.modal_depth, 0);
}

}  // namespace
}  // namespace orva::test
