// The service groups the dispatcher serves itself: clock, audio bookkeeping, heap. (The unknown-
// service report and the program timer are covered by the conformance programs.)
#include <gtest/gtest.h>

#include "support/asm_vm.h"
#include "support/test_host.h"
#include "vm/messages.h"

namespace orva::test {
namespace {

TEST(Dispatch, ClockAndMusicServices) {
  AsmVm t(R"(
        .include "qx.inc"
        .bss
date:   .space 24
ms:     .space 8
        .data
music:  .asciz "MUSIC/theme.mid"
        .code
main:   enter 0, 0
        mov.q r14, #0x7777777700000000
        syscall CLOCK_MS
        mov.q [ms], r14
        syscall CLOCK_DATE, #date
        syscall AUDIO_MUSIC, #music
        syscall AUDIO_MUSIC, #MUSIC_STOP        ; the name is kept for MUSIC_AGAIN
        ret 0
)");
  t.platform.clock().WaitUntil(12'345'678'999'000);  // 12345.678999 s
  t.platform.set_local_time({2024, 3, 5, 7, 8, 9});
  vm::QXmsg(t.host, {1, 0, 0, 0});
  EXPECT_EQ(t.host.mem.U64At(t.Sym("ms")), 0x7777777700000000u + 12345678);  // the low half
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.host.mem.base + t.Sym("date"))),
            "2024-03-05 07:08:09");
  EXPECT_EQ(t.host.audio.saved_music_name, "MUSIC/theme.mid");
  EXPECT_TRUE(t.alerts().empty());
}

TEST(Dispatch, ABlockStillLockedWhenAWaitingRunEndsIsFatal) {
  AsmVm t(R"(
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
.other: syscall HEAP_LOCK, [handle]     ; a lock taken by the entry routine itself ...
        modal                           ; ... which then waits: the lock outlives the run
        ret 0

lock_it: enter 0, 0
        syscall HEAP_LOCK, [handle]
        syscall HEAP_LOCK, [handle]
        syscall HEAP_UNLOCK, [handle]
        ret 0
)");
  vm::QXmsg(t.host, {1, 0, 0, 0});
  EXPECT_EQ(ExitStatusOf([&] { vm::QXmsg(t.host, {20, 0, 0, 0}); }), 1);
  EXPECT_EQ(t.alerts().back(),
            "Hey, Dummy! You shouldn't have left blocks locked when CompactHeap() needs to run!");
}

}  // namespace
}  // namespace orva::test
