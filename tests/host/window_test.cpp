// The real window, end to end: `orva` on a virtual X server, looked at and driven as a user
// would (pixels read back from the server, the close button's message, keys typed through
// xdotool). Skipped, with the reason, only where the virtual server cannot start.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/orva_window.h"

namespace orva::test {
namespace {

const std::string kShellProgram = ORVA_BINARY_DIR "/tests/programs/shell";

// The picture of tests/programs/shell.qxs: background, red and green rectangles, and a blue
// square beyond the first view of 1000 x 600.
constexpr uint32_t kBackground = 0x203040, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

class WindowUnderX : public XWindowTest {
 protected:
  // Starts orva on the shell program and waits for its window and picture.
  Window Open() {
    Window w = Launch({kShellProgram}, "shell");
    if (!w) return 0;
    EXPECT_TRUE(x_.WaitForPixel(w, 150, 150, kRed, kTimeoutMs));
    EXPECT_EQ(x_.Pixel(w, 450, 350), kGreen);
    EXPECT_EQ(x_.Pixel(w, 50, 50), kBackground);
    return w;
  }
};

TEST_F(WindowUnderX, ShowsTheProgramFollowsResizesAndAsksTwiceBeforeClosing) {
  Window w = Open();
  ASSERT_NE(w, 0u);
  // A bigger window shows more of the screen bitmap.
  XResizeWindow(x_.display(), w, 1200, 800);
  XFlush(x_.display());
  EXPECT_TRUE(x_.WaitForPixel(w, 1075, 675, kBlue, 10000));
  EXPECT_EQ(x_.Pixel(w, 1010, 610), 0u);

  x_.PressCloseButton(w);
  EXPECT_EQ(orva_->Wait(10000), 0) << Stderr();
  EXPECT_EQ(Log(), "start\nclose\nclose\n");
}

TEST_F(WindowUnderX, HotkeysServeTheHostAndCtrlQAsksOnce) {
  Window w = Open();
  ASSERT_NE(w, 0u);
  Type("ctrl+alt+p");
  namespace fs = std::filesystem;
  const fs::path shots = dir_.path() + "/Pictures/Orva";
  EXPECT_TRUE(WaitFor([&] { return fs::exists(shots) && !fs::is_empty(shots); }, 10000));
  // (Full screen needs a window manager, which the virtual server lacks; the in-process tests
  // cover Alt+Enter.)

  Type("ctrl+q");
  EXPECT_EQ(orva_->Wait(10000), 0) << Stderr();
  EXPECT_EQ(Log(), "start\nclose\n");
}

}  // namespace
}  // namespace orva::test
