// Music and sound effects through service group 6, with the host's timers on the virtual clock.
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "audio/audio_run.h"
#include "audio/soundfont.h"

namespace orva::test {
namespace {

using Entry = AudioRun::Entry;
using Log = std::vector<Entry>;
constexpr uint32_t kEnd = 10, kAsked = 20;

// One note from beat 2 to beat 3 at 120 beats a minute: sound from 1 s to 1.5 s, the end at 2 s.
const Bytes kOneNote =
    Join({Header(0, 1, 480), Track({{960, {0x90, 69, 110}}, {480, {0x80, 69, 0}}})});

TEST(Music, EndsOneBeatAfterTheLongestTrackAndPlaysAgain) {
  AudioRun run(false);
  // 96 beats, 48 at 120 beats a minute (24 s) and 48 at 240 (12 s); the drums end sooner.
  WriteBytes(run.Res("MUSIC/song.mid"),
             Join({Header(1, 3, 480), Track({{0, Tempo(500000)}, {48 * 480, Tempo(250000)}}),
                   Track({{0, {0x90, 60, 100}}, {96 * 480, {0x80, 60, 0}}}),
                   Track({{0, {0x99, 36, 100}}, {480, {0x89, 36, 0}}})}));
  run.Start();
  run.Do(kMusic, "song");
  run.RunUntil(36245);
  EXPECT_NEAR(audio::MusicPosition(run.host), 96.98, 1e-9);
  run.Do(kMusicPlaying);
  run.RunUntil(36250);  // 97 beats
  run.Do(kMusic, kMusicAgain);
  run.RunUntil(80000);
  EXPECT_EQ(run.Log(), (Log{{kAsked, 1, 0},
                            {kAsked, 1, 36245},
                            {kEnd, 0, 36250},
                            {kAsked, 1, 36250},
                            {kEnd, 0, 72500}}));
  EXPECT_TRUE(run.headless.log_lines().empty());
}

// Without an audio device the clock keeps the music's time.
TEST(Music, StopsWithoutTheEndMessageAndAMissingFileLastsOneBeat) {
  AudioRun run(false, false);
  std::FILE* notices = std::tmpfile();
  run.host.audio.notices = notices;
  run.Start();
  run.Do(kMusic, kMusicAgain);  // no name given yet: the empty name, which loads nothing
  run.RunUntil(1000);
  run.Do(kMusic, "missing");
  run.RunUntil(1250);
  run.Do(kStopMusic);
  run.Do(kMusic, "missing");
  run.RunUntil(1300);
  run.Do(kMusic, kMusicStop);
  run.RunUntil(3000);
  EXPECT_EQ(run.Log(), (Log{{kAsked, 1, 0},
                            {kEnd, 0, 500},
                            {kAsked, 1, 1000},
                            {kAsked, 0, 1250},
                            {kAsked, 1, 1250},
                            {kAsked, 0, 1300}}));
  EXPECT_EQ(run.headless.log_lines().back(), "music MUSIC/none.mid: No such file or directory");
  std::rewind(notices);
  char line[100] = "";
  EXPECT_STREQ(std::fgets(line, sizeof line, notices),
               "orva: no audio device could be opened; running without sound\n");
  std::fclose(notices);
}

TEST(SoundEffects, EachPlaySoundReplacesTheLastEvenWhenItFails) {
  AudioRun run(false);
  WriteTone(run.Res("tone.wav"), 440, 1.0);
  WriteTone(run.Res("click.wav"), 1000, 0.02);
  run.Start();
  run.Do(kPlaySound, "tone");
  run.RunUntil(100);
  run.Do(kPlaySound, "click");
  run.RunUntil(1000);
  run.Do(kPlaySound, "tone");
  run.RunUntil(1100);
  run.Do(kPlaySound, "nosound");
  run.RunUntil(1200);
  run.Do(kPlaySound, "tone");
  run.RunUntil(1300);
  audio::PlaySound(run.host, std::string(1024, 'a'));  // refused, as too long a name
  run.RunUntil(1500);
  struct Span {
    uint32_t from, to;
    bool loud;
  };
  for (Span s : {Span{0, 100, true},
                 {100, 120, true},
                 {121, 1000, false},
                 {1000, 1100, true},
                 {1100, 1200, false},
                 {1200, 1300, true},
                 {1300, 1500, false}}) {
    const double rms = Rms(run.Heard(s.from, s.to));
    EXPECT_TRUE(s.loud ? rms > 0.3 : rms == 0.0) << s.from << " ms: " << rms;
  }
  EXPECT_EQ(
      run.headless.log_lines(),
      (std::vector<std::string>{"sound none.wav: No such file or directory",
                                "sound " + std::string(200, 'a') + ": the name is too long"}));
}

// What a run plays with the music from 0 s and a tone at 1 s, each when asked.
std::vector<int16_t> Render(bool music, bool tone) {
  AudioRun run(true);
  WriteBytes(run.Res("MUSIC/song.mid"), kOneNote);
  WriteTone(run.Res("tone.wav"), 440, 0.2);
  run.Start();
  if (music) run.Do(kMusic, "plain");
  run.RunUntil(1000);
  if (tone) run.Do(kPlaySound, "tone");
  run.RunUntil(2500);
  return run.heard;
}

TEST(Mixing, MusicAndEffectPlayTogetherSampleForSample) {
  if (audio::FindSoundFont("", "").path.empty()) GTEST_SKIP() << "no SoundFont installed";
  const std::vector<int16_t> music = Render(true, false), tone = Render(false, true),
                             both = Render(true, true);
  ASSERT_EQ(music.size(), 2500u * 96);
  EXPECT_EQ(Rms({music.begin(), music.begin() + 96000}), 0.0);  // no note before 1 s
  EXPECT_GT(Rms({music.begin() + 96000, music.begin() + 144000}), 0.003);
  EXPECT_EQ(Rms({tone.begin(), tone.begin() + 96000}), 0.0);
  // Rendering is exact: the mix is the sum of the two, to the rounding of each.
  size_t off = 0;
  for (size_t i = 0; i < both.size(); ++i) off += std::abs(both[i] - music[i] - tone[i]) > 1;
  EXPECT_EQ(off, 0u);
  EXPECT_EQ(Render(true, true), both);  // and the same on every run
}

}  // namespace
}  // namespace orva::test
