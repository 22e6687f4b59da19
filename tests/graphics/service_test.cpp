// Group 5 as the program reaches it: results in R14, unknown commands, and addresses that leave
// the image. The self-checking program tests/programs/graphics.qxs covers the commands' effects.
#include <gtest/gtest.h>

#include "support/asm_vm.h"
#include "support/test_host.h"
#include "vm/messages.h"

namespace orva::test {
namespace {

constexpr std::string_view kSource = R"(
        .include "qx.inc"
        .bss
bm:     .space 4
        .code
main:   enter 0, 0
        cmp.l [fp+MSG_CODE], #MSG_STARTUP
        bne done
        syscall GFX_CREATE_BITMAP, #4, #4
        mov.l [bm], r14
        mov.q r14, #-1
        syscall 0x514                                   ; unknown: R14 stays
        mov.q r1, r14
        syscall GFX_DRAW_POLYLINE, [bm], #0xFFFFFF00, #1, #0  ; one point: nothing read
        syscall GFX_DRAW_POLYLINE, [bm], #0xFFFFFF00, #2, #0  ; two: the points leave the image
done:   ret 0
)";

TEST(GraphicsService, UnknownCommandsAlertAndBadAddressesFaultWithNothingPinned) {
  AsmVm t(kSource);
  t.host.machine.started = true;
  EXPECT_EQ(ExitStatusOf([&] { vm::QXmsg(t.host, {1, 0, 0, 0}); }), 0);  // the exit sequence
  EXPECT_EQ(t.host.mem.R(1), ~uint64_t{0});
  ASSERT_EQ(t.alerts().size(), 2u);
  EXPECT_EQ(t.alerts()[0].rfind("Unknown SYS command at 0x", 0), 0u);
  EXPECT_EQ(t.alerts()[1].rfind("Bad address 0xFFFFFF00 at 0x", 0), 0u);
  EXPECT_EQ(t.host.heap.host_pins, 0);
}

}  // namespace
}  // namespace orva::test
