// Start-up order, the two timers on the virtual clock, and the quit after --ticks.
#include "host/run_loop.h"

#include <gtest/gtest.h>

#include "host/timers.h"
#include "support/asm_vm.h"

namespace orva::test {
namespace {

using vm::Message;

// Runs start-up and the event loop for `ticks` host ticks; returns the exit status.
int RunTicks(AsmVm& t, uint64_t ticks) {
  t.host.options.ticks = ticks;
  try {
    host::RunLoadedProgram(t.host);
  } catch (const platform::ProcessExit& e) {
    return e.status;
  }
  return -1;
}

TEST(StartUp, MessagesOneAndTwoThenSizeAndPositionThenThePendingSize) {
  AsmVm t(kRecorderSource);
  EXPECT_EQ(RunTicks(t, 1), 0);
  std::vector<Recorded> got = RecordedMessages(t);
  std::vector<Recorded> want = {
      {{1, 0, 0, 0}, 0}, {{2, 0, 0, 0}, 0}, {{9, 0, 0, 0}, 0},
      {{8, 0, 0, 0}, 0}, {{9, 0, 0, 0}, 5},  // the first idle host tick posts the size once more
      {{3, 0, 0, 0}, 5},                     // the quit request after --ticks 1
  };
  EXPECT_EQ(got, want);
  EXPECT_TRUE(t.host.shell.initialised);
  EXPECT_TRUE(t.host.machine.started);
  EXPECT_EQ(t.host.machine.loaded_count, 2u);
}

TEST(HostTimer, TickMessageEverySixteenthIdleTick) {
  AsmVm t(kRecorderSource);
  EXPECT_EQ(RunTicks(t, 40), 0);
  std::vector<Recorded> ticks;
  for (const Recorded& r : RecordedMessages(t))
    if (r.msg.code == 11) ticks.push_back(r);
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_EQ(ticks[0].ms, 80u);
  EXPECT_EQ(ticks[1].ms, 160u);
}

TEST(ProgramTimer, MessagesWaitInTheRingAndTicksFollowTheInterval) {
  AsmVm t(kRecorderSource, {{"TIMER_MS", 50}});
  EXPECT_EQ(RunTicks(t, 21), 0);
  std::vector<Recorded> got = RecordedMessages(t);
  std::vector<Recorded> want = {
      {{1, 0, 0, 0}, 0},
      {{2, 0, 0, 0}, 0},
      // 9 and 8 waited in the ring: one per idle host tick, the 9 first, then the pending 9.
      {{9, 0, 0, 0}, 5},
      {{8, 0, 0, 0}, 10},
      {{9, 0, 0, 0}, 15},
      // The program tick at 50 ms runs before the host tick of the same instant, which
      // delivers it; the host timer's own 11 comes on the 16th idle tick that found the ring
      // empty (20..45 and 55..100 minus the ticks at 50 and 100).
      {{11, 0, 0, 0}, 50},
      {{11, 0, 0, 0}, 100},
      {{11, 0, 0, 0}, 105},
      {{3, 0, 0, 0}, 105},  // the quit request at tick 21 (105 ms) runs at once
  };
  EXPECT_EQ(got, want);
}

TEST(Quit, ARefusalIsLoggedAndTheProcessEndsAnyway) {
  AsmVm t(kRecorderSource, {{"ANSWER", 0}});
  EXPECT_EQ(RunTicks(t, 2), 0);
  ASSERT_FALSE(t.platform.log().empty());
  EXPECT_NE(t.platform.log().back().find("declined to quit"), std::string::npos);
}

TEST(Determinism, TwoRunsOfTheSameProgramRecordTheSame) {
  AsmVm a(kRecorderSource, {{"TIMER_MS", 7}});
  AsmVm b(kRecorderSource, {{"TIMER_MS", 7}});
  RunTicks(a, 200);
  RunTicks(b, 200);
  EXPECT_EQ(RecordedMessages(a), RecordedMessages(b));
  EXPECT_GT(RecordedMessages(a).size(), 100u);
}

}  // namespace
}  // namespace orva::test
