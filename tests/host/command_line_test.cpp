#include "host/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace orva::host {
namespace {

using Action = CommandLine::Action;
CommandLine Parse(std::vector<const char*> args) { return ParseCommandLine(args); }

TEST(CommandLine, ReadsEveryOptionInBothSpellings) {
  CommandLine cl =
      Parse({"--data-dir", "/d", "--game-name=N", "--headless", "--ticks", "250",
             "--dump-image=/tmp/out", "GAME", "--desktop", "800x600,1280x1024", "--scale=3",
             "--screenshot", "shot.png", "--soundfont", "S", "--audio-out=A", "--timeout=2.5"});
  ASSERT_EQ(cl.action, Action::kRun) << cl.error;
  const Options& o = cl.options;
  EXPECT_EQ(o.data_dir + o.game_name + o.dump_image + o.game + o.soundfont + o.audio_out,
            "/dN/tmp/outGAMESA");
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.ticks, 250u);
  EXPECT_EQ(o.timeout, 2.5);
  EXPECT_EQ(o.desktop, (std::vector<platform::Size>{{800, 600}, {1280, 1024}}));
  EXPECT_EQ(o.scale, 3);
  EXPECT_EQ(o.screenshot, "shot.png");
  EXPECT_TRUE(Parse({"--reference-loop"}).options.reference_loop);
  EXPECT_EQ(Parse({"--", "--odd"}).options.game, "--odd");
  EXPECT_EQ(Parse({"GAME", "--help"}).action, Action::kHelp);
  EXPECT_EQ(Parse({"--version"}).action, Action::kVersion);
}

TEST(CommandLine, UsageErrors) {
  for (std::vector<const char*> args :
       std::vector<std::vector<const char*>>{{"--frobnicate"},
                                             {"A", "B"},
                                             {"--data-dir"},
                                             {"--data-dir="},
                                             {"--ticks", "-1"},
                                             {"--ticks", "12x"},
                                             {"--ticks", "99999999999999999999"},
                                             {"--timeout", "-1"},
                                             {"--timeout", "nan"},
                                             {"--desktop", "800"},
                                             {"--desktop", "0x600"},
                                             {"--desktop", "800x16385"},
                                             {"--desktop", "800x600,"},
                                             {"--desktop", "16384x10,16384x10"},
                                             {"--scale", "0"},
                                             {"--scale", "17"},
                                             {"--headless=1"},
                                             {""}}) {
    CommandLine cl = Parse(args);
    EXPECT_EQ(cl.action, Action::kUsageError) << args[0];
    EXPECT_EQ(cl.error.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace orva::host
