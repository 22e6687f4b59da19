// Message entry: one run per message, the exit sequence and the ring.
#include "vm/messages.h"

#include <gtest/gtest.h>

#include "support/asm_vm.h"
#include "support/test_host.h"
#include "vm/image.h"

namespace orva::test {
namespace {

using vm::Message;

TEST(QXmsg, RunsTheEntryRoutineWithTheMessageAsItsArguments) {
  AsmVm t(kRecorderSource, {{"ANSWER", -1}});
  uint32_t sp = t.host.mem.SP();
  t.host.mem.SetFP(0x1234);
  EXPECT_EQ(vm::QXmsg(t.host, {7, 11, 22, 33}), -1);  // MSGRESULT sign-extended
  EXPECT_EQ(RecordedMessages(t), (std::vector<Recorded>{{{7, 11, 22, 33}, 0}}));
  EXPECT_EQ(t.host.mem.PC(), 0u);
  EXPECT_EQ(t.host.mem.SP(), sp);
  EXPECT_EQ(t.host.mem.FP(), 0x1234u);
  EXPECT_FALSE(t.host.machine.in_qx);
}

TEST(QXmsg, AStackPointerOutsideTheImageIsOutOfStack) {
  AsmVm t(kRecorderSource);
  t.host.mem.SetSP(t.host.mem.size + 64);
  EXPECT_EQ(ExitStatusOf([&] { vm::QXmsg(t.host, {5, 0, 0, 0}); }), 1);
  EXPECT_EQ(t.alerts().back(), "Out of stack");
}

// The fault programs show the exit message running after a fault; after it nothing else runs.
TEST(ExitSequence, OnceBegunOnlyTheExitMessageRuns) {
  AsmVm t(kRecorderSource, {{"FAULT_ON", 6}});
  EXPECT_EQ(ExitStatusOf([&] { vm::QXmsg(t.host, {6, 0, 0, 0}); }), 0);
  ASSERT_EQ(RecordedMessages(t).size(), 2u);
  t.host.machine.in_qx = false;
  EXPECT_EQ(vm::QXmsg(t.host, {5, 0, 0, 0}), 0);
  EXPECT_EQ(RecordedMessages(t).size(), 2u);
  EXPECT_TRUE(t.host.machine.in_qx);
}

TEST(ForceMsg, DropsMessagesBeforeLoadingAndQueuesThemWhileRunning) {
  AsmVm t(kRecorderSource);
  t.host.machine.loaded_count = 0;
  EXPECT_EQ(vm::ForceMsg(t.host, {1, 0, 0, 0}), 0);
  EXPECT_TRUE(RecordedMessages(t).empty());

  t.host.machine.loaded_count = 1;
  t.host.machine.in_qx = true;  // as if a service delivered a message during a run
  EXPECT_EQ(vm::ForceMsg(t.host, {3, 0, 0, 0}), 0);
  EXPECT_EQ(t.platform.log_lines().back(), "ForceMsg BAD CALL! cmd=3");
  EXPECT_EQ(t.alerts().back(), "ForceMsg BAD CALL!");
  vm::QXmsg(t.host, {9, 0, 0, 0});
  EXPECT_EQ(t.platform.log_lines().back(), "inQX QXmsg");
  EXPECT_EQ(t.host.machine.ring.pending(), 2);

  t.host.machine.in_qx = false;
  vm::DeliverNextMsg(t.host);
  vm::DeliverNextMsg(t.host);
  std::vector<Recorded> got = RecordedMessages(t);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].msg.code, 3u);
  EXPECT_EQ(got[1].msg.code, 9u);
}

TEST(PostMsg, RunsAtOnceUnlessTheProgramTimerOrARunMakesItWait) {
  AsmVm t(kRecorderSource);
  vm::PostMsg(t.host, {12, 1, 0, 0});
  EXPECT_EQ(RecordedMessages(t).size(), 1u);

  t.host.machine.started = true;
  t.host.machine.paced = true;  // the program runs its own timer
  vm::PostMsg(t.host, {12, 2, 0, 0});
  EXPECT_EQ(RecordedMessages(t).size(), 1u);
  EXPECT_EQ(t.host.machine.ring.pending(), 1);

  t.host.machine.started = false;  // before the window is shown the timer does not matter
  vm::PostMsg(t.host, {12, 3, 0, 0});
  EXPECT_EQ(RecordedMessages(t).size(), 2u);

  vm::DeliverNextMsg(t.host);
  EXPECT_EQ(RecordedMessages(t).back().msg, (Message{12, 2, 0, 0}));
  vm::DeliverNextMsg(t.host);  // empty: nothing
  EXPECT_EQ(RecordedMessages(t).size(), 3u);

  t.host.machine.loaded_count = 0;
  vm::PostMsg(t.host, {12, 4, 0, 0});
  EXPECT_EQ(RecordedMessages(t).size(), 3u);
}

TEST(Ring, HoldsAtMost1023AndLosesTheNewestWhenFull) {
  vm::MessageRing ring;
  for (uint32_t i = 0; i < 1024; ++i) ring.Append({i, 0, 0, 0});
  EXPECT_EQ(ring.pending(), 1023);
  for (uint32_t i = 0; i < 1023; ++i) {
    EXPECT_EQ(ring.slots[ring.read].code, i);
    ring.read = vm::MessageRing::Step(ring.read);
  }
  EXPECT_TRUE(ring.empty());
  // Indices wrap: the ring keeps working across the end of its slots.
  ring.Append({5000, 0, 0, 0});
  ring.Append({5001, 0, 0, 0});
  EXPECT_EQ(ring.pending(), 2);
  EXPECT_EQ(ring.slots[ring.read].code, 5000u);
}

}  // namespace
}  // namespace orva::test
