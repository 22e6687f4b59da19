// Prism as users meet it: the real `orva` binary, headless, playing the scripted minute in
// prism_minute.events. The game is judged by its settings file, its memory after the run (read
// by name from its listing), the sound it made and the screenshots it left.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "audio/soundfont.h"
#include "graphics/image_decode.h"
#include "graphics/image_source.h"
#include "support/asm_vm.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "vm/image.h"

namespace orva::test {
namespace {

const std::string kOrva = ORVA_BINARY_DIR "/orva";
const std::string kGame = ORVA_BINARY_DIR "/examples/prism";
const std::string kScript = ORVA_SOURCE_DIR "/tests/game/prism_minute.events";

// A table that any game beats, so that the minute ends with a name entered.
void SeedTable(const std::string& data) {
  WriteText(data + "/prism.ini", "[0x00000000=Scores]\n1= \"Old\" 5\n");
}

// Runs `ticks` host ticks (5 ms each) of the script, leaving the memory in data/dump.
Ran Play(const std::string& data, int ticks, const std::string& more = {}) {
  return RunCommand(kOrva + " --headless --ticks " + std::to_string(ticks) + " --events " +
                    kScript + " --dump-image " + data + "/dump --data-dir " + data + " " + more +
                    " " + kGame);
}

void ExpectNoAlert(const Ran& r) {
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("alert:"), std::string::npos) << r.err;
}

// The game's variables in a memory dump.
class Memory {
 public:
  explicit Memory(const std::string& dump)
      : bytes_(ReadText(dump)),
        symbols_(ListingSymbols(ReadText(ORVA_BINARY_DIR "/examples/prism.lst"))) {}
  uint32_t Sym(const std::string& name) const { return symbols_.at(name); }
  int32_t Var(const std::string& name) const { return Long(Sym(name)); }
  int32_t Long(uint32_t at) const {
    return at + 4 <= bytes_.size()
               ? static_cast<int32_t>(vm::Ld32(reinterpret_cast<const uint8_t*>(&bytes_[at])))
               : -1;
  }
  // The state the game was in; a close request at the end of a run during a game asks first.
  int32_t State() const {
    return Var("state") == int32_t(Sym("ST_CONFIRM")) ? Var("confirm_from") : Var("state");
  }

 private:
  std::string bytes_;
  std::map<std::string, uint32_t> symbols_;
};

// RMS level in dB of a 16-bit WAV between `from` and `to` seconds.
double LevelDb(const std::string& wav, double from, double to) {
  const auto* b = reinterpret_cast<const uint8_t*>(wav.data());
  if (wav.size() < 44 || wav.compare(0, 4, "RIFF") != 0) return -999;
  uint32_t rate = 0, channels = 0;
  for (size_t at = 12; at + 8 <= wav.size();) {
    const uint32_t size = vm::Ld32(b + at + 4);
    if (wav.compare(at, 4, "fmt ") == 0) {
      channels = b[at + 10];
      rate = vm::Ld32(b + at + 12);
    } else if (wav.compare(at, 4, "data") == 0 && rate && channels) {
      const size_t first = at + 8 + size_t(from * rate) * channels * 2;
      const size_t last = std::min<size_t>(at + 8 + size_t(to * rate) * channels * 2, wav.size());
      double sum = 0;
      size_t n = 0;
      for (size_t i = first; i + 1 < last; i += 2, ++n) {
        const double s = int16_t(b[i] | b[i + 1] << 8) / 32768.0;
        sum += s * s;
      }
      return n ? 10 * std::log10(sum / n + 1e-12) : -999;
    }
    at += 8 + size + (size & 1);
  }
  return -999;
}

TEST(PrismPlayed, AMinuteScoresKeepsItsHighScoreAndItsMusic) {
  TempDir dir;
  const std::string data = dir.Sub("data");
  SeedTable(data);
  const std::string wav = dir.path() + "/minute.wav";
  ExpectNoAlert(Play(data, 12000, "--audio-out " + wav));

  // The table in the settings file: the name typed (with the text of its keys) and the score.
  const std::string ini = ReadText(data + "/prism.ini");
  const size_t row = ini.find("1= \"Ada\" ");
  ASSERT_NE(row, std::string::npos) << ini;
  const int score = std::stoi(ini.substr(row + 9));
  EXPECT_GT(score, 0) << ini;
  EXPECT_NE(ini.find("2= \"Old\" 5\n"), std::string::npos) << ini;

  // The game's music lasts half a minute and the game stays paused (no effects) until 33 s:
  // the second after its end is music only if the game started it again on message 10.
  if (audio::FindSoundFont("", "").path.empty()) GTEST_SKIP() << "no SoundFont: music unheard";
  EXPECT_GT(LevelDb(ReadText(wav), 2.0, 30.0), -40);
  EXPECT_GT(LevelDb(ReadText(wav), 32.0, 33.0), -45);
}

// The screen at fixed times of the minute, by regions and colours: the title's white heading,
// the bricks in their colours and the paddle, the game over's veil and heading. Each run is the
// same minute cut short, as the script is played the same way every time.
TEST(PrismPlayed, TheScreenAtFixedTimes) {
  struct Shot {
    int ticks;
    const char* state;
  };
  std::map<std::string, graphics::BufferSink> shots;
  for (const Shot& s : {Shot{160, "ST_TITLE"}, Shot{7000, "ST_PLAY"}, Shot{8100, "ST_OVER"}}) {
    SCOPED_TRACE(s.state);
    TempDir dir;
    const std::string data = dir.Sub("data"), png = dir.path() + "/shot.png";
    SeedTable(data);
    ExpectNoAlert(Play(data, s.ticks, "--screenshot " + png));
    const Memory m(data + "/dump");
    EXPECT_EQ(m.State(), int32_t(m.Sym(s.state)));
    if (s.ticks == 7000) {
      EXPECT_GT(m.Var("score"), 0);  // a brick broken by the first ball
    }

    const std::string file = ReadText(png);
    graphics::MemorySource source(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    graphics::BufferSink& sink = shots.try_emplace(s.state, 64 << 20).first->second;
    ASSERT_TRUE(graphics::DecodePng(source, sink));
    ASSERT_EQ(sink.width * 10000 + sink.height, 1000u * 10000 + 600);
  }
  // The share of near-white pixels in a box, and the mean of each channel there.
  struct Box {
    int x, y, w, h;
  };
  auto whites = [&](const char* state, Box b) {
    const graphics::BufferSink& s = shots.at(state);
    int n = 0;
    for (int j = b.y; j < b.y + b.h; ++j)
      for (int i = b.x; i < b.x + b.w; ++i) {
        const uint8_t* p = &s.pixels[(size_t(j) * s.width + i) * 4];
        n += p[0] > 204 && p[1] > 204 && p[2] > 204;
      }
    return double(n) / (b.w * b.h);
  };
  auto mean = [&](const char* state, Box b) {
    const graphics::BufferSink& s = shots.at(state);
    std::array<double, 3> sum{};
    for (int j = b.y; j < b.y + b.h; ++j)
      for (int i = b.x; i < b.x + b.w; ++i)
        for (int c = 0; c < 3; ++c) sum[c] += s.pixels[(size_t(j) * s.width + i) * 4 + c];
    for (double& v : sum) v /= b.w * b.h;
    return sum;
  };
  const Box heading{400, 240, 200, 50}, over{360, 205, 280, 50};
  const Box violet{110, 124, 40, 12}, red{110, 264, 40, 12}, paddle{15, 558, 100, 8};
  EXPECT_GT(whites("ST_TITLE", heading), 0.2);  // "PRISM"
  EXPECT_EQ(whites("ST_PLAY", heading), 0);
  EXPECT_GT(whites("ST_OVER", over), 0.2);  // "Game over"
  EXPECT_EQ(whites("ST_PLAY", over), 0);

  const auto v = mean("ST_PLAY", violet), r = mean("ST_PLAY", red);
  EXPECT_GT(v[2], v[1] + 60);  // violet glass in the first row
  EXPECT_GT(v[0], v[1] + 30);
  EXPECT_GT(r[0], r[1] + 80);  // red glass in the sixth
  EXPECT_GT(r[0], r[2] + 80);
  const auto no_bricks = mean("ST_TITLE", violet);
  EXPECT_LT(no_bricks[0] + no_bricks[1] + no_bricks[2], 150);
  EXPECT_LT(mean("ST_OVER", violet)[2], v[2] / 2);  // the same bricks under the veil
  const auto p = mean("ST_PLAY", paddle);           // pulled away to the left
  EXPECT_GT(p[0] + p[1] + p[2], 3 * 150);
}

}  // namespace
}  // namespace orva::test
