// The service groups the dispatcher serves itself: clock, audio decoding, heap. (The unknown-
// service report and the program timer are covered by the conformance programs.)
#include "services/dispatch.h"

#include <gtest/gtest.h>

#include "heap/heap.h"
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
