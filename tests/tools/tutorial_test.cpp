// docs/tutorial.md as a newcomer follows it: its files written out, its commands run in order
// (all but those that open a window), and what they make looked at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/image_decode.h"
#include "graphics/image_source.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace orva::test {
namespace {

TEST(Tutorial, ItsProgramsAssembleAndRunAsPrinted) {
  const std::string doc = ReadText(ORVA_SOURCE_DIR "/docs/tutorial.md");
  const TempDir dir;
  ASSERT_EQ(RunCommand("ln -s " ORVA_BINARY_DIR " build", dir.path()).status, 0);

  // Each fenced block names its file on its first line ("; first.qxs: ..." or "# clicks.events");
  // programs go into mine/, as the page says.
  int programs = 0;
  for (size_t at = doc.find("```"); at != std::string::npos; at = doc.find("```", at + 3)) {
    const size_t body = doc.find('\n', at) + 1, close = doc.find("\n```", body);
    ASSERT_NE(close, std::string::npos);
    const std::string text = doc.substr(body, close + 1 - body);
    const std::string name = text.substr(2, text.find_first_of(": \n", 2) - 2);
    const bool program = name.ends_with(".qxs");
    programs += program;
    WriteText((program ? dir.Sub("mine") : dir.path()) + "/" + name, text);
    at = close + 1;
  }
  EXPECT_EQ(programs, 2);

  // The commands are the indented lines outside the fenced blocks; a trailing backslash continues
  // one. A run without --headless would open a window: the tests take the headless runs only.
  std::istringstream lines(doc);
  std::string line, command;
  int ran = 0;
  bool fenced = false;
  while (std::getline(lines, line)) {
    if (line.starts_with("```")) fenced = !fenced;
    if (fenced || (!line.starts_with("    ") && command.empty())) continue;
    command += line.substr(line.find_first_not_of(' '));
    if (command.ends_with("\\")) {
      command.pop_back();
      continue;
    }
    if (!command.starts_with("build/orva ") || command.find("--headless") != std::string::npos) {
      const Ran r = RunCommand("XDG_DATA_HOME=" + dir.path() + "/xdg " + command, dir.path());
      EXPECT_EQ(r.status, 0) << command << "\n" << r.err;
      EXPECT_EQ(r.err.find("alert:"), std::string::npos) << command << "\n" << r.err;
      ++ran;
    }
    command.clear();
  }
  EXPECT_GE(ran, 6);

  // The second program drew the picture where the script clicked, and played its sound.
  const std::string png = ReadText(dir.path() + "/second.png");
  graphics::MemorySource source(reinterpret_cast<const uint8_t*>(png.data()), png.size());
  graphics::BufferSink shot(64 << 20);
  ASSERT_TRUE(graphics::DecodePng(source, shot));
  ASSERT_EQ(shot.width, 1000u);
  const uint8_t* ball = &shot.pixels[(450 * 1000 + 300) * 4];
  const uint8_t* sky = &shot.pixels[(450 * 1000 + 500) * 4];
  EXPECT_GT(ball[0] + ball[1] + ball[2], 3 * 150);
  EXPECT_LT(sky[0] + sky[1] + sky[2], 3 * 80);
  const std::string wav = ReadText(dir.path() + "/second.wav");
  int peak = 0;
  for (size_t i = 44; i + 1 < wav.size(); i += 2)
    peak = std::max(peak, std::abs(int(int16_t(uint8_t(wav[i]) | uint8_t(wav[i + 1]) << 8))));
  EXPECT_GT(peak, 3000);
}

}  // namespace
}  // namespace orva::test
