// Input and window services in the real window: keys, the mouse and the wheel sent through the
// X server by xdotool, the clipboard shared with another X client, the window moved, resized and
// unmapped from outside, and URLs handed to the desktop. The program (tests/programs/probe.qxs)
// logs every message it gets as "CODE P1 P2 P3" in hexadecimal.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "platform/sdl/x_errors.h"
#include "support/orva_window.h"
#include "support/x_clipboard.h"

namespace orva::test {
namespace {

const std::string kProbe = ORVA_BINARY_DIR "/tests/programs/probe";

class InputUnderX : public XWindowTest {
 protected:
  // Starts the probe with `options` and waits until it has been told its window's size.
  Window Open(std::vector<std::string> options = {},
              std::vector<std::pair<std::string, std::string>> env = {}) {
    options.push_back(kProbe);
    Window w = Launch(options, "probe", std::move(env));
    if (w) {
      EXPECT_TRUE(WaitForLine("9 ")) << Stderr();
    }
    return w;
  }

  // Runs xdotool with `arguments`.
  void Xdotool(const std::string& arguments) {
    Ran r = RunCommand("DISPLAY=" + x_.name() + " xdotool " + arguments);
    EXPECT_EQ(r.status, 0) << r.err;
  }

  // The logged messages whose code is one of `codes` (hexadecimal, as logged), in order.
  std::vector<std::string> Messages(std::initializer_list<std::string_view> codes) {
    std::vector<std::string> out;
    std::istringstream log(Log());
    for (std::string line; std::getline(log, line);) {
      std::string_view code = std::string_view(line).substr(0, line.find(' '));
      for (std::string_view c : codes)
        if (c == code) out.push_back(line);
    }
    return out;
  }

  // Waits until the log has a line starting with `start`.
  bool WaitForLine(const std::string& start) {
    return WaitFor([&] { return ("\n" + Log()).find("\n" + start) != std::string::npos; },
                   kTimeoutMs);
  }

  // Closes the window and waits for the program's end.
  void Close(Window w) {
    x_.PressCloseButton(w);
    EXPECT_EQ(orva_->Wait(kTimeoutMs), 0) << Stderr();
  }
};

using Lines = std::vector<std::string>;

TEST_F(InputUnderX, KeysReachTheProgramWithTheirText) {
  Window w = Open();
  ASSERT_NE(w, 0u);
  // dead_acute has no key on the US keymap: xdotool gives it a spare one. The dead key posts
  // nothing, and the key after it gets the composed text. (xdotool lets go of a chord's
  // modifiers before its key.)
  Xdotool("mousemove --window " + std::to_string(w) +
          " 300 300 key a shift+b Return ctrl+c KP_Enter dead_acute e");
  ASSERT_TRUE(WaitForLine("D 45 ")) << Log();
  // clang-format off
  EXPECT_EQ(Messages({"C", "D", "E"}),
            (Lines{"C 41 1 0", "E 61 0 0", "D 41 1 0",                          // a
                   "C 10 0 0", "C 42 1 0", "E 42 0 0", "D 10 0 0", "D 42 1 0",  // shift+b
                   "C D 1 0",  "E D 0 0",  "D D 1 0",              // Return: its control character
                   "C 11 0 0", "C 43 1 0", "E 63 0 0", "D 11 0 0", "D 43 1 0",  // ctrl+c
                   "C D 1 0",  "E 3 0 0",  "D D 1 0",                           // keypad Enter
                   "C 45 1 0", "E A9C3 0 0", "D 45 1 0"}));        // e after the dead key: é
  // clang-format on
  Close(w);
}

TEST_F(InputUnderX, KeyCodesFollowPositionsAndTextTheLayout) {
  // On a French keyboard "z" is where a US keyboard has W, also with Ctrl held.
  ASSERT_EQ(RunCommand("setxkbmap -display " + x_.name() + " fr").status, 0);
  Window w = Open();
  ASSERT_NE(w, 0u);
  Xdotool("mousemove --window " + std::to_string(w) + " 300 300 key z ctrl+z");
  ASSERT_TRUE(WaitForLine("D 11 ")) << Log();
  EXPECT_EQ(Messages({"C", "E"}),
            (Lines{"C 57 1 0", "E 7A 0 0", "C 11 0 0", "C 57 1 0", "E 7A 0 0"}));
  Close(w);
}

TEST_F(InputUnderX, MouseAndWheelAtScale2AndTheRecordingReplaysHeadless) {
  const std::string recording = dir_.path() + "/session";
  Window w = Open({"--scale", "2", "--record", recording});
  ASSERT_NE(w, 0u);
  // Points (300, 200) of the view are pixels (150, 100) at scale 2.
  Xdotool("mousemove --window " + std::to_string(w) +
          " 300 200 click 1 click 3 click 4 click 5 click 7");
  ASSERT_TRUE(WaitForLine("C 8004 ")) << Log();
  const std::string at = " 640096";
  Lines wheel_up(7, "C 8003 1" + at), wheel_down(7, "C 8003 FFFFFFFF" + at);
  Lines expected{"C 1 1" + at, "D 1 0" + at, "C 2 2" + at, "D 2 0" + at};
  expected.insert(expected.end(), wheel_up.begin(), wheel_up.end());
  expected.insert(expected.end(), wheel_down.begin(), wheel_down.end());
  for (int i = 0; i < 7; ++i) expected.push_back("C 8004 1" + at);  // wheel right
  EXPECT_EQ(Messages({"C", "D"}), expected);
  Lines moves = Messages({"F"});
  EXPECT_NE(std::find(moves.begin(), moves.end(), "F 96 64 0"), moves.end()) << Log();
  Close(w);

  // The recording holds points; replayed headless at the same scale it gives the same messages.
  const std::string window_log = Log();
  std::filesystem::remove(dir_.path() + "/data/debug.log");
  // (The recording ends with the close button; --ticks only keeps a broken one from hanging.)
  Ran replay = RunCommand(kOrva + " --headless --ticks 200000 --scale 2 --data-dir " + dir_.path() +
                          "/data --events " + recording + " " + kProbe);
  EXPECT_EQ(replay.status, 0) << replay.err;
  EXPECT_NE(ReadText(recording).find("mouse-down left 300 200\n"), std::string::npos);
  std::string headless_log = Log();
  auto input = [](const std::string& log) {
    std::string kept;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
      if (line[0] == 'C' || line[0] == 'D' || line[0] == 'E' || line[0] == '3') kept += line + "\n";
    return kept;
  };
  EXPECT_EQ(input(headless_log), input(window_log));
}

TEST_F(InputUnderX, ClipboardIsSharedWithOtherClients) {
  Window w = Open();
  ASSERT_NE(w, 0u);
  ClipboardPeer peer(x_.name());
  ASSERT_TRUE(peer.ok());
  ASSERT_TRUE(peer.Offer("from the peer"));
  Xdotool("mousemove --window " + std::to_string(w) + " 300 300 key v");
  EXPECT_TRUE(WaitForLine("clip from the peer")) << Log();

  Xdotool("key c");
  ASSERT_TRUE(WaitForLine("D 43 ")) << Log();
  EXPECT_TRUE(WaitFor([&] { return peer.Read(1000) == "from orva"; }, kTimeoutMs));
  Close(w);
}

TEST_F(InputUnderX, MovesResizesAndUnmappingFromOutsideBecomeMessages) {
  Window w = Open();
  ASSERT_NE(w, 0u);
  // Window coordinates have their origin at the bottom left of the display, y upwards: the view's
  // bottom edge at 150 + 600 from the top of 1024 rows is at y 274.
  XMoveWindow(x_.display(), w, 200, 150);
  XFlush(x_.display());
  EXPECT_TRUE(WaitForLine("8 C8 112 0")) << Log();
  XResizeWindow(x_.display(), w, 800, 500);
  XFlush(x_.display());
  EXPECT_TRUE(WaitForLine("9 320 1F4 0")) << Log();
  // Unmapping minimises the window, and takes the keyboard away: a key held then is released
  // for the program, which would otherwise never see it go up.
  Xdotool("mousemove --window " + std::to_string(w) + " 100 100 keydown shift");
  ASSERT_TRUE(WaitForLine("C 10 0 0")) << Log();
  XUnmapWindow(x_.display(), w);
  XFlush(x_.display());
  EXPECT_TRUE(WaitForLine("7 1 0 0")) << Log();
  EXPECT_TRUE(WaitForLine("D 10 0 0")) << Log();
  XMapWindow(x_.display(), w);
  XFlush(x_.display());
  EXPECT_TRUE(WaitForLine("7 0 0 0")) << Log();
  Xdotool("keyup shift");
  Close(w);
}

TEST_F(InputUnderX, OnlyWebUrlsReachTheDesktopsHandler) {
  const std::string bin = dir_.Sub("bin"), opened = dir_.path() + "/opened";
  WriteText(bin + "/xdg-open", "#!/bin/sh\necho \"$@\" >> '" + opened + "'\n");
  chmod((bin + "/xdg-open").c_str(), 0755);
  const char* path = std::getenv("PATH");
  Window w = Open({}, {{"PATH", bin + ":" + (path ? path : "/usr/bin:/bin")}});
  ASSERT_NE(w, 0u);
  Xdotool("mousemove --window " + std::to_string(w) + " 300 300 key f h");
  EXPECT_TRUE(WaitFor([&] { return ReadText(opened) == "http://example.com/page\n"; }, kTimeoutMs))
      << ReadText(opened);
  Close(w);
  EXPECT_NE(Stderr().find("file:///etc/passwd"), std::string::npos) << Stderr();
  EXPECT_EQ(ReadText(opened), "http://example.com/page\n");
}

// SDL wakes its event wait with a message to its own window; one still on its way when the window
// is destroyed at the end of the run must not turn a clean exit into Xlib's exit(1).
TEST(XErrors, MessagesToVanishedWindowsAreIgnoredOtherErrorsPassedOn) {
  VirtualX x(64, 64);
  if (!x.ok()) GTEST_SKIP() << x.reason();
  static int passed_on;
  passed_on = 0;
  XErrorHandler before = XSetErrorHandler([](Display*, XErrorEvent*) { return ++passed_on, 0; });
  platform::IgnoreMessagesToVanishedWindows();
  Display* d = x.display();
  Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XDestroyWindow(d, w);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.format = 32;
  XSendEvent(d, w, False, NoEventMask, &e);
  XSync(d, False);
  EXPECT_EQ(passed_on, 0);
  XMapWindow(d, w);
  XSync(d, False);
  EXPECT_EQ(passed_on, 1);
  XSetErrorHandler(before);
}

// SDL's X11 driver alone would leave a title beyond ASCII out of _NET_WM_NAME, which window
// managers show, when the process runs in the "C" locale.
TEST_F(InputUnderX, ATitleBeyondAsciiReachesTheDesktopWhole) {
  Window w = Open();
  ASSERT_NE(w, 0u);
  Xdotool("mousemove 300 300 key t");
  EXPECT_TRUE(WaitFor([&] { return x_.Title(w) == "Probe \u2014 \u00e9t\u00e9"; }, kTimeoutMs))
      << x_.Title(w);
  Close(w);
}

}  // namespace
}  // namespace orva::test
