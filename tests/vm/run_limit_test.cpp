// Runs always end: a run is limited by the transfers of control it makes (deterministic, for
// tests and fuzzing) and by the wall clock (--timeout), even in the middle of a message.
#include "vm/run_limit.h"

#include <gtest/gtest.h>

#include "support/asm_vm.h"
#include "support/encode.h"
#include "support/test_host.h"
#include "support/test_vm.h"
#include "vm/messages.h"

namespace orva::test {
namespace {

using vm::StopKind;

// Each kind of transfer of control counts once. The run stops at the target of the transfer
// that used up the limit, before running it.
TEST(RunLimit, EveryTransferCountsAndTheRunStopsAtItsTarget) {
  TestVm t;
  const uint32_t sub = TwoOp(30, "sub", kL, 1, Short(1));
  struct Case {
    const char* what;
    std::vector<uint32_t> loop;  // from 512; R1 counts the iterations down from 100
    uint64_t limit;
    uint32_t stop_at;
    uint64_t r1;
  } cases[] = {
      {"branch on flags", {sub, 52 | 1 << 7 | (512 >> 2) << 10}, 5, 512, 95},
      {"test and branch", {sub, TestBranch(0, kL, 1, 512), 1}, 5, 512, 95},
      {"jump", {sub, Jump(512)}, 5, 512, 95},
      {"jump table", {sub, JumpTable(0, 0x300)}, 5, 512, 95},
      {"call", {sub, 84, 512}, 5, 512, 95},
      {"two jumps", {sub, Jump(520), Jump(512)}, 5, 520, 97},
      {"call, return, jump", {84, 528, Jump(512), 0, Enter(0, 0), Return(0)}, 3, 512, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    t.At(512);
    for (uint32_t w : c.loop) t.Emit({w});
    t.SetR(0, 0);
    t.SetU32(0x300, 512);  // the jump table's entry
    t.SetR(1, 100);
    t.host.mem.SetSP(t.mem().STKTOP());
    vm::SetTransferLimit(t.host, c.limit);
    vm::Stop stop = t.Run();
    EXPECT_EQ(stop.kind, StopKind::kLimit);
    EXPECT_EQ(stop.pc, c.stop_at);
    EXPECT_EQ(t.mem().PC(), c.stop_at);
    EXPECT_EQ(t.R(1), c.r1);
  }
}

// A message that never returns ends the process at the time limit, without the exit message.
TEST(RunLimit, AMessageThatNeverReturnsEndsAtTheTimeLimit) {
  AsmVm t(R"(
        .include "qx.inc"
        .code
main:   enter 0, 0
        cmp.l [fp+MSG_CODE], #MSG_EXIT
        bne spin
        debugstr "exit message\n"
        ret 0
spin:   jmp spin
)");
  vm::SetTimeLimit(t.host, 0.05);
  EXPECT_EQ(ExitStatusOf([&] { vm::QXmsg(t.host, {1, 0, 0, 0}); }), vm::kTimeLimitStatus);
  char text[64];
  std::snprintf(text, sizeof text, "Time limit reached at 0x%8.8X. Terminating. So sorry.",
                t.Sym("spin"));
  EXPECT_EQ(t.alerts(), std::vector<std::string>{text});
  EXPECT_EQ(ReadText(t.host.folders.user_data + "debug.log"), "<missing>");
}

}  // namespace
}  // namespace orva::test
