// The real `orva` binary, end to end.
#include <gtest/gtest.h>

#include "support/run_command.h"
#include "support/test_host.h"
#include "vm/image.h"

namespace orva {
namespace {

using test::RunCommand;

const std::string kOrva = ORVA_BINARY_DIR "/orva ";

TEST(OrvaBinary, UsageErrorsHelpAndVersion) {
  for (const char* args : {"--nope", "/no/such/game"}) {
    const test::Ran r = RunCommand(kOrva + args);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.starts_with("orva: ") && r.err.find('\n') == r.err.size() - 1) << r.err;
  }
  // Without a display the desktop back end cannot start: one line that points at --headless.
  const test::Ran no_display =
      RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " + kOrva);
  EXPECT_EQ(no_display.status, 2);
  EXPECT_NE(no_display.err.find("--headless"), std::string::npos);
  EXPECT_EQ(no_display.err.find('\n'), no_display.err.size() - 1) << no_display.err;
  // A copy of the program without its window back end beside it says so, the same way.
  const test::TempDir dir;
  ASSERT_EQ(RunCommand("cp " + kOrva + dir.path()).status, 0);
  const test::Ran no_module = RunCommand("SDL_VIDEODRIVER=dummy " + dir.path() + "/orva " +
                                         ORVA_BINARY_DIR "/examples/prism");
  EXPECT_EQ(no_module.status, 2);
  EXPECT_TRUE(no_module.err.starts_with("orva: the window back end could not be loaded"))
      << no_module.err;
  EXPECT_EQ(no_module.err.find('\n'), no_module.err.size() - 1) << no_module.err;
  const test::Ran help = RunCommand(kOrva + "--help"), version = RunCommand(kOrva + "--version");
  EXPECT_EQ(help.status + version.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: orva"));
  EXPECT_TRUE(version.out.starts_with("orva "));
}

TEST(OrvaBinary, ABadImageAlertsAndExits1WithNothingToDump) {
  const test::TempDir dir;
  const std::string game = dir.Sub("game"), dump = dir.path() + "/dump";
  test::WriteBytes(game + "/MAIN.QX", test::BuildImage({.major = 7}));
  // The desktop back end (on SDL's display-less driver) alerts before any window is made.
  const test::Ran r = RunCommand("SDL_VIDEODRIVER=dummy " + kOrva + "--data-dir " +
                                 dir.Sub("data") + " --dump-image " + dump + " " + game);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "alert: Mismatched ORVA.EXE and MAIN.QX files\n");
  EXPECT_EQ(test::ReadText(dump), "<missing>");
}

TEST(OrvaBinary, AGoodImageLoadsAndDumpsItsWholeMemory) {
  const test::TempDir dir;
  const std::string game = dir.Sub("game"), dump = dir.path() + "/dump";
  std::vector<uint8_t> image = test::BuildImage({1024, 256, 4096, 65536});
  vm::St32(&image[512], 340);  // enter 0, 0: every message returns at once
  vm::St32(&image[516], 596);  // ret 0
  test::WriteBytes(game + "/MAIN.QX", image);
  const std::string data = " --data-dir " + dir.Sub("data") + " ";
  test::Ran r = RunCommand(kOrva + "--headless --ticks 1 --dump-image " + dump + data + game);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string bytes = test::ReadText(dump);
  ASSERT_EQ(bytes.size(), 70912u);
  EXPECT_EQ(bytes[600], char(600 * 7));

  r = RunCommand(kOrva + "--headless --ticks 1 --dump-image " + dir.path() + "/no/dir/dump" + data +
                 game);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("orva: cannot write"), std::string::npos) << r.err;
}

// A message that never returns (here a jump to itself, and a first code word of 0, which
// spins in the header) and a program that never quits all end at --timeout, with the image
// dumped. --ticks alone would end neither of the first two.
TEST(OrvaBinary, RunsEndAtTheTimeLimitWithTheImageDumped) {
  const test::TempDir dir;
  const std::string game = dir.Sub("game"), dump = dir.path() + "/dump";
  std::vector<uint8_t> spin = test::BuildImage({1024, 256, 4096, 65536});
  vm::St32(&spin[512], 44 | (512 >> 2) << 10);  // jmp 512
  std::vector<uint8_t> zero = test::BuildImage({520, 256, 4096, 65536});
  vm::St64(&zero[512], 0);  // test R0 (zero) and branch to 0, where the header does the same
  std::vector<uint8_t> idle = test::BuildImage({1024, 256, 4096, 65536});
  vm::St32(&idle[512], 340);  // enter 0, 0
  vm::St32(&idle[516], 596);  // ret 0
  const std::pair<const std::vector<uint8_t>*, const char*> cases[] = {
      {&spin, "alert: Time limit reached at 0x00000200. Terminating. So sorry.\n"},
      {&zero, "alert: Time limit reached at 0x"},
      {&idle, "alert: Time limit reached. Terminating. So sorry.\n"},
  };
  for (const auto& [image, alert] : cases) {
    test::WriteBytes(game + "/MAIN.QX", *image);
    std::remove(dump.c_str());
    const test::Ran r =
        RunCommand(kOrva + "--headless --ticks 1000000000 --timeout 0.2 " + "--dump-image " + dump +
                   " --data-dir " + dir.Sub("data") + " " + game);
    EXPECT_EQ(r.status, 124) << r.err;
    EXPECT_TRUE(r.err.starts_with(alert)) << r.err;
    EXPECT_EQ(test::ReadText(dump).size(), image->size() + 256 + 4096 + 65536);
  }
}

TEST(OrvaBinary, RunsTheDefaultProgramWithoutAGameAndTakesItsScreenshot) {
  const test::TempDir dir;
  const std::string shot = dir.path() + "/shot.png";
  test::Ran r = RunCommand(kOrva + "--headless --ticks 2 --scale 2 --screenshot " + shot +
                           " --data-dir " + dir.Sub("data"));
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string png = test::ReadText(shot);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(vm::Ld32(reinterpret_cast<const uint8_t*>(&png[16])), 0xF4010000u);  // 500 wide
  EXPECT_EQ(vm::Ld32(reinterpret_cast<const uint8_t*>(&png[20])), 0x2C010000u);  // 300 high

  r = RunCommand(kOrva + "--headless --ticks 2 --screenshot " + dir.path() + "/no/dir/shot.png" +
                 " --data-dir " + dir.Sub("data"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("orva: cannot write the screenshot"), std::string::npos) << r.err;
}

// SIGTERM and SIGINT ask the program as the quit command does; a second SIGINT while the first
// is still unanswered (the program is stuck in a run) ends the process at once.
TEST(OrvaBinary, QuitSignalsAskOnceAndASecondInterruptEndsAStuckProgram) {
  struct Case {
    const char* program;
    const char* signals;
    int status;
    const char* log;
  } cases[] = {
      {"shell", "TERM", 0, "start\nclose\n"},
      {"shell", "INT", 0, "start\nclose\n"},
      {"stuck", "INT INT", 130, "start\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.signals);
    const test::TempDir dir;
    const std::string log = dir.Sub("data") + "/debug.log";
    // Signals once the program has logged its start (the handlers are in place by then).
    const test::Ran r =
        RunCommand(kOrva + "--headless --data-dir " + dir.path() +
                   "/data " ORVA_BINARY_DIR "/tests/programs/" + c.program +
                   " & pid=$!; while [ ! -s '" + log + "' ]; do sleep 0.02; done; for s in " +
                   c.signals + "; do kill -$s $pid; sleep 0.2; done; wait $pid");
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(test::ReadText(log), c.log);
  }
}

}  // namespace
}  // namespace orva
