// The real `orva` binary, end to end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include "support/test_host.h"

namespace orva {
namespace {

struct OrvaBinary : ::testing::Test {
  struct Result {
    int status = -1;
    std::string out, err;
  };
  // Runs orva with `args`; its output goes to files, so a chatty run cannot block.
  Result Run(std::vector<std::string> args) {
    std::string out = dir.path() + "/stdout", err = dir.path() + "/stderr";
    posix_spawn_file_actions_t io;
    posix_spawn_file_actions_init(&io);
    posix_spawn_file_actions_addopen(&io, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&io, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    args.insert(args.begin(), ORVA_BINARY_DIR "/orva");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    Result r;
    pid_t pid;
    int wstatus;
    if (posix_spawn(&pid, argv[0], &io, nullptr, argv.data(), environ) == 0 &&
        waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
      r.status = WEXITSTATUS(wstatus);
    posix_spawn_file_actions_destroy(&io);
    r.out = test::ReadText(out);
    r.err = test::ReadText(err);
    return r;
  }
  test::TempDir dir;
};

TEST_F(OrvaBinary, UsageErrorsHelpAndVersion) {
  for (auto args : {std::vector<std::string>{"--nope"}, {"--ticks", "x"}, {"/no/such/game"}}) {
    Result r = Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.starts_with("orva: ") && r.err.find('\n') == r.err.size() - 1) << r.err;
  }
  Result help = Run({"--help"}), version = Run({"--version"});
  EXPECT_EQ(help.status + version.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: orva"));
  EXPECT_TRUE(version.out.starts_with("orva "));
}

TEST_F(OrvaBinary, ABadImageAlertsAndExits1WithNothingToDump) {
  std::string game = dir.Sub("game");
  test::WriteBytes(game + "/MAIN.QX", test::BuildImage({.major = 7}));
  Result r = Run({"--data-dir", dir.Sub("data"), "--dump-image", dir.path() + "/dump", game});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "alert: Mismatched ORVA.EXE and MAIN.QX files\n");
  EXPECT_EQ(test::ReadText(dir.path() + "/dump"), "<missing>");
}

TEST_F(OrvaBinary, AGoodImageLoadsAndDumpsItsWholeMemory) {
  std::string game = dir.Sub("game"), dump = dir.path() + "/dump";
  std::vector<uint8_t> image = test::BuildImage({1024, 256, 4096, 65536});
  vm::St32(&image[512], 340);  // enter 0, 0: every message returns at once
  vm::St32(&image[516], 596);  // ret 0
  test::WriteBytes(game + "/MAIN.QX", image);
  Result r = Run(
      {"--headless", "--ticks", "1", "--data-dir", dir.Sub("data"), "--dump-image", dump, game});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string bytes = test::ReadText(dump);
  ASSERT_EQ(bytes.size(), 70912u);
  EXPECT_EQ(vm::Ld32(reinterpret_cast<const uint8_t*>(&bytes[vm::kOffSP])), 5376u);
  EXPECT_EQ(bytes[600], char(600 * 7));

  r = Run({"--ticks", "1", "--dump-image", dir.path() + "/no/dir/dump", "--data-dir",
           dir.Sub("data"), game});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("orva: cannot write"), std::string::npos) << r.err;
}

TEST_F(OrvaBinary, RunsTheDefaultProgramWithoutAGame) {
  Result r = Run({"--headless", "--data-dir", dir.Sub("data")});
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
}  // namespace orva
