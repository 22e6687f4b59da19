// The SYS dispatcher: group table, the groups it serves itself, and the unknown-service report.
#include "services/dispatch.h"

#include "heap/heap.h"

#include <gtest/gtest.h>

#include "support/asm_vm.h"
#include "vm/interpreter.h"
#include "vm/messages.h"

namespace orva::test {
namespace {

// Runs `body` (assembly, after `enter`) as message 1 and returns the machine for inspection.
std::unique_ptr<AsmVm> RunBody(std::string_view body) {
  std::string source = R"(
        .include "qx.inc"
        .bss
buffer: .space 64
        .data
music:  .asciz "MUSIC/theme.mid"
other:  .asciz "MUSIC/other.mid"
        .code
main:   enter 0, 0
)";
  source += body;
  source += "\n        ret 0\n";
  auto t = std::make_unique<AsmVm>(source);
  vm::QXmsg(t->host, {1, 0, 0, 0});
  return t;
}

TEST(SysDispatch, AnUnknownGroupAlertsWithTheSysAddressAndLeavesR14) {
  auto t = RunBody(R"(
        mov.q r14, #0x1122334455667788
        syscall 0x0A00
        mov.q [buffer], r14
)");
  ASSERT_EQ(t->alerts().size(), 1u);
  // The sys instruction follows the store of the service word (3 words) and the load of r15 (2).
  uint32_t sys = t->Sym("main") + 4 + 12 + 12 + 8;
  char expected[64];
  std::snprintf(expected, sizeof expected, "Unknown SYS command at 0x%8.8X. Ack!", sys);
  EXPECT_EQ(t->alerts()[0], expected);
  EXPECT_EQ(t->host.mem.U64At(t->Sym("buffer")), 0x1122334455667788u);
}

TEST(SysDispatch, GroupsOneAndFourDoNothing) {
  auto t = RunBody(R"(
        mov.l r14, #5
        syscall 0x0105
        syscall 0x0400
        mov.l [buffer], r14
)");
  EXPECT_TRUE(t->alerts().empty());
  EXPECT_EQ(t->U32(t->Sym("buffer")), 5u);
}

TEST(ClockService, ProgramTimerStartsOnceUntilStopped) {
  AsmVm t(R"(
        .include "qx.inc"
        .code
main:   enter 0, 0
        syscall CLOCK_TIMER, [fp+MSG_P1]
        ret 0
)");
  auto timer = [&](uint32_t ms) {
    vm::QXmsg(t.host, {5, ms, 0, 0});
    return t.host.shell.program_timer;
  };
  EXPECT_EQ(timer(50).interval_ms, 50u);
  EXPECT_EQ(timer(20).interval_ms, 50u);  // one exists: its interval stays
  EXPECT_FALSE(timer(0).running);
  EXPECT_EQ(timer(20).interval_ms, 20u);
  EXPECT_TRUE(t.host.shell.program_timer.running);
}

TEST(ClockService, MillisecondsAndDateFromThePlatform) {
  auto t = std::make_unique<AsmVm>(R"(
        .include "qx.inc"
        .bss
buffer: .space 32
        .code
main:   enter 0, 0
        mov.q r14, #0x7777777700000000
        syscall CLOCK_MS
        mov.q [buffer+24], r14
        syscall CLOCK_DATE, #buffer
        ret 0
)");
  t->platform.WaitUntil(12'345'678'999'000);  // 12345.678999 s
  t->platform.set_local_time({2024, 3, 5, 7, 8, 9});
  vm::QXmsg(t->host, {1, 0, 0, 0});
  uint32_t buffer = t->Sym("buffer");
  EXPECT_EQ(t->host.mem.U64At(buffer + 24), 0x7777777700000000u + 12345678);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(t->host.mem.base + buffer)),
            "2024-03-05 07:08:09");
}

TEST(AudioService, RemembersTheMusicNameAndAnswersThePlayingFlag) {
  auto t = RunBody(R"(
        syscall AUDIO_MUSIC, #music
        syscall AUDIO_MUSIC, #MUSIC_AGAIN
        syscall AUDIO_MUSIC, #MUSIC_STOP
        syscall AUDIO_MUSIC_PLAYING
        mov.l [buffer], r14
        syscall AUDIO_PLAY_SOUND, #other
)");
  EXPECT_EQ(t->host.audio.saved_music_name, "MUSIC/theme.mid");
  EXPECT_EQ(t->U32(t->Sym("buffer")), 0u);
  EXPECT_TRUE(t->alerts().empty());
}

TEST(HeapService, AllocAnswersInR14AndFreeLeavesIt) {
  auto t = RunBody(R"(
        mov.l r14, #0xAAAA
        syscall HEAP_ALLOC, #100
        mov.l [buffer], r14
        syscall HEAP_FREE, r14
        mov.l [buffer+4], r14
)");
  uint32_t handle = t->U32(t->Sym("buffer"));
  EXPECT_NE(handle, 0xAAAAu);
  EXPECT_EQ(t->U32(t->Sym("buffer") + 4), handle);
}

}  // namespace
}  // namespace orva::test

namespace orva::test {
namespace {

constexpr std::string_view kLockSource = R"(
        .include "qx.inc"
        .bss
handle: .space 4
        .code
main:   enter 0, 0
        cmp.l [fp+MSG_CODE], #MSG_STARTUP
        bne .other
        syscall HEAP_ALLOC, #64
        mov.l [handle], r14
        jsr lock_it, 0                  ; locks recorded 20 bytes above its SP
        ret 0
.other: cmp.l [fp+MSG_CODE], #20
        bne .done
        syscall HEAP_LOCK, [handle]     ; a lock taken by the entry routine itself ...
        modal                           ; ... which then waits: the lock outlives the run
.done:  ret 0

lock_it: enter 0, 0
        syscall HEAP_LOCK, [handle]
        syscall HEAP_LOCK, [handle]
        syscall HEAP_UNLOCK, [handle]
        ret 0
)";

TEST(HeapService, LocksTakenDuringAMessageAreGoneWhenItsRoutinesReturn) {
  AsmVm t(kLockSource);
  vm::QXmsg(t.host, {1, 0, 0, 0});  // compaction after the run finds nothing locked
  EXPECT_TRUE(t.alerts().empty());
  EXPECT_EQ(t.host.heap.head[heap::kLocked], -1);
}

TEST(HeapService, ABlockStillLockedWhenAWaitingRunEndsIsFatal) {
  AsmVm t(kLockSource);
  vm::QXmsg(t.host, {1, 0, 0, 0});
  int status = -1;
  try {
    vm::QXmsg(t.host, {20, 0, 0, 0});
  } catch (const platform::ProcessExit& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 1);
  EXPECT_EQ(t.alerts().back(),
            "Hey, Dummy! You shouldn't have left blocks locked when CompactHeap() needs to run!");
}

}  // namespace
}  // namespace orva::test
