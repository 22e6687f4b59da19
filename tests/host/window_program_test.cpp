// Window services and the window's notifications as a program meets them: a program that logs
// every message it gets (ticks aside) and answers certain keys with window commands, run with
// an event script on the headless desktop (one 1920 x 1080 display). A recording of the run
// replays to the same messages.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "core/message_codes.h"
#include "host/event_player.h"
#include "host/event_recorder.h"
#include "host/run_loop.h"
#include "support/asm_vm.h"
#include "support/test_host.h"

namespace orva::test {
namespace {

constexpr std::string_view kProgram = R"(
        .include "qx.inc"
SLOTS = 200
        .bss
count:  .space 4
log:    .space 24 * SLOTS
block:  .space 20
pair:   .space 8
paste:  .space 16
        .data
asked:  .long 100, 200, 800, 600, 0
small:  .long 500, 300, 800, 300, 0
zero:   .long 0, 0, 0, 0, 0
full:   .long 0, 0, 800, 600, 1
pasted: .long paste, 16
one:    .asciz "one"
two:    .asciz "two"

        .code
main:   enter 0, 0
        mov.b [MSGRESULT], #1
        cmp.l [fp+MSG_CODE], #MSG_TIMER
        beq .done
        call note, [fp+MSG_CODE], [fp+MSG_P1], [fp+MSG_P2], [fp+MSG_P3], #0, #0
        cmp.l [fp+MSG_CODE], #MSG_STARTUP
        bne .key
        syscall WIN_SET_FRAME, #asked
        ret 0
.key:   cmp.l [fp+MSG_CODE], #MSG_DOWN
        bne .done
        mov.l r0, [fp+MSG_P1]
        cmp.l r0, #KEY_F
        bne .s
        syscall WIN_GET_FRAME, #block
        call note, #WIN_GET_FRAME, [block], [block+4], [block+8], [block+12], [block+16]
        ret 0
.s:     cmp.l r0, #KEY_S
        bne .z
        syscall WIN_SET_FRAME, #small
        ret 0
.z:     cmp.l r0, #KEY_Z
        bne .u
        syscall WIN_SET_FRAME, #zero
        ret 0
.u:     cmp.l r0, #KEY_U
        bne .c
        syscall WIN_SET_FRAME, #full
        ret 0
.c:     cmp.l r0, #KEY_C
        bne .b
        syscall WIN_CLIENT_SIZE
        mov.q [pair], r14
        call note, #WIN_CLIENT_SIZE, [pair], [pair+4], #0, #0, #0
        ret 0
.b:     cmp.l r0, #KEY_B
        bne .v
        syscall WIN_BUTTON_STATE, #0xFFFFFFFF
        call note, #WIN_BUTTON_STATE, r14, #0, #0, #0, #0
        ret 0
.v:     cmp.l r0, #KEY_V
        bne .t
        syscall WIN_GET_CLIPBOARD, #pasted
        call note, #WIN_GET_CLIPBOARD, [paste], [paste+4], [paste+8], #0, #0
        ret 0
.t:     cmp.l r0, #KEY_T
        bne .l
        syscall WIN_SET_TITLE, #one
        syscall WIN_SET_TITLE, #two
        ret 0
.l:     cmp.l r0, #KEY_L
        bne .k
        syscall CLOCK_TIMER, #20
        ret 0
.k:     cmp.l r0, #KEY_K
        bne .done
        syscall CLOCK_TIMER, #0
.done:  ret 0

; Appends six words to the log.
note:   enter 0, 0
        mov.l r0, [count]
        cmp.l r0, #SLOTS
        bge .full
        mul.l r0, #24
        mov.l [r0+log], [fp+ARG0]
        mov.l [r0+log+4], [fp+ARG1]
        mov.l [r0+log+8], [fp+ARG2]
        mov.l [r0+log+12], [fp+ARG3]
        mov.l [r0+log+16], [fp+ARG4]
        mov.l [r0+log+20], [fp+ARG5]
        add.l [count], #1
.full:  ret 0
)";

// A message (code, p1, p2, p3) or a command's answer (0x700 + command, values...).
struct Entry {
  uint32_t code, a = 0, b = 0, c = 0, d = 0, e = 0;
  friend bool operator==(const Entry&, const Entry&) = default;
};

std::ostream& operator<<(std::ostream& os, const Entry& e) {
  return os << "{" << std::hex << e.code << std::dec << ", " << e.a << ", " << e.b << ", " << e.c
            << ", " << e.d << ", " << e.e << "}";
}

Entry Key(char c) { return {kMsgKeyDown, uint32_t(c), 1}; }
Entry Typed(char c) { return {kMsgKeyText, uint32_t(c)}; }
Entry Frame(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t fs) {
  return {0x708, x, y, w, h, fs};
}

struct Outcome {
  std::vector<Entry> log;
  int status;
  std::string title;
};

Outcome RunScript(std::string_view script, const std::string& record = {}, int32_t scale = 1) {
  AsmVm vm(kProgram);
  vm.host.options.scale = scale;
  auto lines = host::ParseEventScript(script, "script");
  if (auto* error = std::get_if<std::string>(&lines)) ADD_FAILURE() << *error;
  vm.host.shell.player =
      std::make_shared<host::EventPlayer>(std::get<std::vector<host::ScriptLine>>(lines));
  if (!record.empty())
    vm.host.shell.recorder =
        std::get<std::shared_ptr<host::EventRecorder>>(host::OpenRecording(record));
  vm.host.options.ticks = 100;  // 0.5 s: every script closes the window before
  Outcome run;
  run.status = ExitStatusOf([&] { host::RunLoadedProgram(vm.host); });
  vm.host.shell.recorder.reset();
  for (uint32_t i = 0, n = vm.U32(vm.Sym("count")); i < n; ++i) {
    uint32_t at = vm.Sym("log") + 24 * i;
    run.log.push_back({vm.U32(at), vm.U32(at + 4), vm.U32(at + 8), vm.U32(at + 12), vm.U32(at + 16),
                       vm.U32(at + 20)});
  }
  run.title = vm.platform.title();
  return run;
}

constexpr std::string_view kUserSession = R"(
10 key-down F
20 resize 1000 700
30 key-down C
40 move 50 60
50 minimize
60 restore
70 key-down S             # 800 x 300 is too small: the minimum window
80 key-down F
90 key-down U             # full screen, asked by the program
100 key-down F            # reports the windowed frame it asked for
110 fullscreen off        # left by the user
115 key-down F
120 resize 700 500
130 key-down Z            # a zero size: back to the last frame read
140 key-down F
150 key-down "Left Shift"
151 mouse-down left 10 20
152 key-down B
153 mouse-up left 10 20
154 key-up "Left Shift"
160 clipboard "h\xC3\xA9llo"
161 key-down V
170 key-down T
190 close
)";

TEST(WindowProgram, GeometryNotificationsAndCommands) {
  Outcome run = RunScript(kUserSession);
  EXPECT_EQ(run.status, 0);
  const uint32_t at = 20u << 16 | 10;
  // clang-format off
  const std::vector<Entry> want = {
      {1}, {2},
      {9, 800, 600}, {8, 100, 200}, {9, 800, 600},  // the end of start-up, then the first tick
      Key('F'), Frame(100, 200, 800, 600, 0), Typed('f'),
      {9, 1000, 700},                               // the user's resize
      Key('C'), {0x70A, 1000, 700}, Typed('c'),
      {8, 50, 60},                                  // the user's move, y upwards
      {7, 1}, {7, 0},
      Key('S'), Typed('s'),                         // the program's own change: no 8 or 9
      Key('F'), Frame(30, 20, 600, 400, 0), Typed('f'),
      Key('U'), Typed('u'), {9, 1920, 1080, 2},
      Key('F'), Frame(0, 0, 800, 600, 1), Typed('f'),
      {9, 600, 400, 3},
      Key('F'), Frame(30, 20, 600, 400, 0), Typed('f'),
      {9, 700, 500},
      Key('Z'), Typed('z'),
      Key('F'), Frame(30, 20, 600, 400, 0), Typed('f'),
      {12, 16}, {12, 1, 5, at},
      Key('B'), {0x713, 5}, Typed('B'),
      {13, 1, 4, at}, {15, 10, 20, 4}, {13, 16},
      Key('V'), {0x705, 0x6CA9C368, 0x6F6C}, Typed('v'),
      Key('T'), Typed('t'),
      {3}, {3},                                     // the close button asks twice
  };
  // clang-format on
  EXPECT_EQ(run.log, want);
  EXPECT_EQ(run.title, "two");  // both titles set in one run: the second shows
}

TEST(WindowProgram, CollapsedWindowsAreRescued) {
  Outcome run = RunScript(R"(
10 key-down L             # the program starts its timer
20 resize 5 400           # the next program tick restores the minimum window
40 key-down F
60 key-down K             # and stops its timer
70 resize 10 400
80 fullscreen on
90 fullscreen off         # too narrow to use: most of the desktop
100 key-down F
110 close
)");
  // clang-format off
  const std::vector<Entry> want = {
      {1}, {2}, {9, 800, 600}, {8, 100, 200}, {9, 800, 600},
      Key('L'), Typed('l'),
      {9, 5, 400},
      Key('F'), Frame(30, 20, 600, 400, 0), Typed('f'),
      Key('K'), Typed('k'),
      {9, 10, 400},
      {9, 1920, 1080, 2},
      {9, 1596, 756, 3},
      Key('F'), Frame(162, 162, 1596, 756, 0), Typed('f'),
      {3}, {3},
  };
  // clang-format on
  EXPECT_EQ(run.log, want);
}

TEST(WindowProgram, ARecordedSessionReplaysToTheSameMessages) {
  TempDir dir;
  const std::string first = dir.path() + "/first.txt", second = dir.path() + "/second.txt";
  Outcome played = RunScript(kUserSession, first);
  const std::string recording = ReadText(first);
  // Only the user's doings are kept: the program's frame and full-screen requests are not.
  EXPECT_NE(recording.find("110 fullscreen off\n"), std::string::npos) << recording;
  EXPECT_EQ(recording.find("fullscreen on"), std::string::npos) << recording;
  EXPECT_NE(recording.find("40 move 50 60\n"), std::string::npos) << recording;
  EXPECT_NE(recording.find("152 text \"B\"\n"), std::string::npos) << recording;

  Outcome replayed = RunScript(recording, second);
  EXPECT_EQ(replayed.log, played.log);
  EXPECT_EQ(ReadText(second), recording);
}

TEST(WindowProgram, ScriptPositionsArePointsAtAnyScale) {
  TempDir dir;
  const std::string recording = dir.path() + "/session.txt";
  Outcome run =
      RunScript("10 mouse-down left 21 41\n20 mouse-up left 21 41\n30 close\n", recording, 2);
  std::vector<Entry> mouse;
  for (const Entry& e : run.log)
    if (e.code >= kMsgKeyDown && e.code <= kMsgMouseMove && e.code != kMsgKeyText)
      mouse.push_back(e);
  const uint32_t at = 20u << 16 | 10;
  EXPECT_EQ(mouse, (std::vector<Entry>{{12, 1, 1, at}, {13, 1, 0, at}, {15, 10, 20, 0}}));
  EXPECT_NE(ReadText(recording).find("10 mouse-down left 21 41\n"), std::string::npos);
}

}  // namespace
}  // namespace orva::test
