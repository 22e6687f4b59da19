// The program is untrusted: every access that would leave the image stops it with the
// bad-address fault, and every stop is reported with its own text.
#include <gtest/gtest.h>

#include "support/encode.h"
#include "support/run_op.h"
#include "support/test_vm.h"
#include "vm/interpreter.h"

namespace orva::test {
namespace {

using vm::StopKind;

class Faults : public ::testing::Test {
 protected:
  TestVm t;
  const uint32_t size = t.mem().size;

  // Runs from 512 and expects a bad-address stop about `address` at instruction `pc`.
  void ExpectBadAddress(uint32_t address, uint32_t pc = 512) {
    vm::Stop stop = t.Run();
    EXPECT_EQ(stop.kind, StopKind::kBadAddress);
    EXPECT_EQ(stop.address, address);
    EXPECT_EQ(stop.pc, pc);
  }
};

TEST_F(Faults, OperandReadsAndWritesOutsideTheImage) {
  t.Emit({TwoOp(26, "mov", kL, 1), size});  // read [size]
  ExpectBadAddress(size);
  EXPECT_EQ(t.mem().PC(), 520u) << "PC is left past the instruction";

  t.At(512);
  t.Emit({TwoOp(25, "mov", kL, 1), size - 2});  // write straddling the end
  ExpectBadAddress(size - 2);

  t.At(512);
  t.Emit({TwoOp(25, "movz", kL, 1), size - 4});  // movz writes 8 bytes
  ExpectBadAddress(size - 4);

  t.At(512);
  t.Emit({TwoOp(25, "lea", kB, 1), size - 2});  // lea writes 4 bytes
  ExpectBadAddress(size - 2);

  t.At(512);
  t.SetR(2, 0xFFFFFFF0);  // base + displacement wraps to the top of the address space
  t.Emit({TwoOp(18, "add", kL, 1, 2), 4});
  ExpectBadAddress(0xFFFFFFF4);
}

TEST_F(Faults, AccessesEndingExactlyAtTheImageEndAreFine) {
  t.SetU64(size - 8, 0x0102030405060708);
  t.host.mem.SetU8At(size - 1, 3);
  t.SetR(1, 1);
  t.Emit({TwoOp(26, "mov", kQ, 2), size - 8, TwoOp(26, "lsl", kQ, 1), size - 1, kHalt});
  EXPECT_EQ(t.Run().kind, StopKind::kHalt);  // a QUAD shift reads one count byte
  EXPECT_EQ(t.R(2), 0x0302030405060708u);
  EXPECT_EQ(t.R(1), 8u);
}

TEST_F(Faults, InstructionFetchOutsideOrTruncatedAtTheEnd) {
  t.Emit({TwoOp(28, "mov", kL, 1, 2)});
  t.SetR(7, size);
  t.Emit({JsrReg(7, 0)});
  ExpectBadAddress(size, size);
  EXPECT_EQ(t.mem().PC(), size);

  // A two-word instruction in the last word of the image.
  t.At(size - 4);
  t.Emit({TwoOp(22, "mov", kL, 1)});
  t.SetR(7, size - 4);
  ExpectBadAddress(size, size - 4);

  // A one-word instruction there runs.
  t.At(size - 4);
  t.Emit({kHalt});
  EXPECT_EQ(t.Run().kind, StopKind::kHalt);
}

TEST_F(Faults, RegisterSlotsBeyondTheImage) {
  t.Emit({Unary(kUSlot, UCode("neg", kL), 0xFFFF)});  // slot 65535 lies at 524288
  ExpectBadAddress(8 + 8 * 65535);

  t.At(512);
  t.Emit({TestBranch(0, kL, 0, 0x800), 0x10000000});  // any slot number
  ExpectBadAddress(8 + 8 * 0x10000000u);

  t.At(512);
  t.Emit({TestBranch(2, kL, 0, 0x800), 0x10000});  // the pointer's own slot
  ExpectBadAddress(8 + 8 * 0x10000);
}

TEST_F(Faults, JumpTableEntryOutside) {
  t.SetR(1, size);
  t.Emit({JumpTable(1, 0)});
  ExpectBadAddress(size);
}

TEST_F(Faults, StackAccessesOutside) {
  // A stack pointer above the image: the push that would write there.
  t.host.mem.SetSP(size + 64);
  t.Emit({Push32W(1)});
  ExpectBadAddress(size + 60);

  // A pop from outside.
  t.At(512);
  t.Emit({Unary(kUSlot, UCode("pop", kL), 1)});
  ExpectBadAddress(size + 64);

  // A return through a frame pointer outside.
  t.At(512);
  t.host.mem.SetSP(t.mem().STKTOP());
  t.host.mem.SetFP(size - 8);
  t.Emit({Return(0)});
  ExpectBadAddress(size - 8);
}

// Found by the fuzzer: a frame larger than the image once passed the stack range check.
TEST(FaultsRegression, EntryWithMoreLocalsThanTheImageHolds) {
  TestVm t({1024, 0, 1024, 64, true});
  t.SetU32(vm::kOffSTKLIM, 0);
  t.host.mem.SetSP(0xFFFFFF00);
  t.Emit({Enter(0, 200000)});
  vm::Stop stop = t.Run();
  EXPECT_EQ(stop.kind, StopKind::kBadAddress);
}

TEST_F(Faults, BlockOperationsOutside) {
  t.SetU32(vm::kOffMCOUNT, 0x40000000);  // 4 GiB of QUADs
  t.Emit({TwoOp(21, "bmov", kQ), 7000, 6000});
  ExpectBadAddress(7000);

  t.At(512);
  t.SetR(1, 16);
  t.Emit({TwoOp(26, "bpush", kB, 1), size - 8});
  ExpectBadAddress(size - 8);
}

TEST_F(Faults, EmodWithAChainOutside) {
  t.host.machine.modal_depth = 1;
  t.host.mem.SetMODALCHAIN(size - 100);
  t.Emit({kEmod});
  ExpectBadAddress(size - 100);
}

TEST_F(Faults, DebugPrintOfAStringWithoutNulInTheImage) {
  for (uint32_t a = size - 16; a < size; ++a) t.host.mem.SetU8At(a, 'x');
  t.SetR(15, size - 16);
  t.Emit({kDebugPrint});
  ExpectBadAddress(size - 16);
}

TEST_F(Faults, SysWithACallBlockOutside) {
  t.SetR(15, size - 2);
  t.Emit({kSys});
  ExpectBadAddress(size - 2);

  // A service argument outside: the date into a buffer that does not fit.
  t.At(512);
  t.SetU32(7000, 0x0202);
  t.SetU32(7004, size - 10);
  t.SetR(15, 7000);
  t.Emit({kSys});
  ExpectBadAddress(size - 10);
}

TEST_F(Faults, StackOverflowThroughCallsEntriesAndModal) {
  uint32_t lim = t.mem().STKLIM();
  t.host.mem.SetSP(lim + 4);
  t.Emit({Jsr(0), 0x900});
  EXPECT_EQ(t.Run().kind, StopKind::kStackOverflow);
  EXPECT_EQ(t.mem().SP(), lim + 4);

  t.At(512);
  t.host.mem.SetSP(lim + 100);
  t.Emit({Enter(0, 97)});
  EXPECT_EQ(t.Run().kind, StopKind::kStackOverflow);

  t.At(512);
  t.Emit({Enter(0, 96), kHalt});  // exactly down to STKLIM is allowed
  EXPECT_EQ(t.Run().kind, StopKind::kHalt);
  EXPECT_EQ(t.mem().SP(), lim);

  t.At(512);
  t.host.mem.SetSP(lim + 139);
  t.Emit({kModal});
  EXPECT_EQ(t.Run().kind, StopKind::kStackOverflow);
  EXPECT_EQ(t.host.machine.modal_depth, 0);
}

TEST(StopReports, TextsAndExitState) {
  struct Case {
    std::vector<uint32_t> program;
    const char* text;  // null: no alert
    bool fatal;
  };
  const Case cases[] = {
      {{kNop, 4}, "Illegal opcode at 0x00000204\nTerminating program. So terribly sorry.", true},
      {{148}, "Illegal opcode at 0x00000200\nTerminating program. So terribly sorry.", true},
      {{TwoOpCode(28, 96, 1, 2)},
       "Illegal opcode at 0x00000200\nTerminating program. So terribly sorry.",
       true},
      {{TwoOpCode(28, 119, 1, 2)},
       "Illegal opcode at 0x00000200\nTerminating program. So terribly sorry.",
       true},
      {{TwoOp(26, "mov", kL, 1), 0x7FFFFFF0},
       "Bad address 0x7FFFFFF0 at 0x00000200. Terminating. So sorry.",
       true},
      {{TwoOp(30, "divu", kL, 1, 0)},
       "Division by zero at 0x00000200. Terminating. So sorry.",
       true},
      {{kNop, kEmod}, "Illegal EMOD at 0x00000204", false},
      {{kHalt}, nullptr, true},
  };
  for (const Case& c : cases) {
    TestVm t;
    for (uint32_t w : c.program) t.Emit({w});
    t.host.mem.SetPC(512);
    vm::RunMachine(t.host);
    if (c.text) {
      ASSERT_EQ(t.alerts().size(), 1u);
      EXPECT_EQ(t.alerts()[0], c.text);
    } else {
      EXPECT_TRUE(t.alerts().empty());
    }
    EXPECT_EQ(t.host.machine.exit_state, c.fatal ? 1u : 0u);
  }
}

TEST(StopReports, StackOverflowText) {
  TestVm t;
  t.host.mem.SetSP(t.mem().STKLIM());
  t.Emit({kNop, Push16W(1)});
  t.host.mem.SetPC(512);
  vm::RunMachine(t.host);
  ASSERT_EQ(t.alerts().size(), 1u);
  EXPECT_EQ(t.alerts()[0], "Stack overflow at 0x00000204. Terminating. So sorry.");
}

}  // namespace
}  // namespace orva::test
