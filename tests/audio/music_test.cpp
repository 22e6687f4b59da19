// Music and sound effects through service group 6, with the host's timers on the virtual clock.
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "audio/audio_run.h"
#include "audio/soundfont.h"

namespace orva::test {
namespace {

using Entry = AudioRun::Entry;
constexpr uint32_t kMusicEnd = 10, kAsked = 20;

// 96 beats: 48 at 120 beats a minute (24 s), 48 at 240 (12 s). The drum track ends sooner.
Bytes NinetySixBeats() {
  return Join({Header(1, 3, 480), Track({{0, Tempo(500000)}, {48 * 480, Tempo(250000)}}),
               Track({{0, {0xC0, 0}}, {0, {0x90, 60, 100}}, {96 * 480, {0x80, 60, 0}}}),
               Track({{0, {0x99, 36, 100}}, {480, {0x89, 36, 0}}})});
}

// One note from beat 2 to beat 3 at 120 beats a minute: sound from 1 s, ending at 2 s.
Bytes OneNote() {
  return Join(
      {Header(0, 1, 480), Track({{0, {0xC0, 0}}, {960, {0x90, 69, 110}}, {480, {0x80, 69, 0}}})});
}

TEST(Music, EndsOneBeatAfterTheLongestTrackAndPlaysAgain) {
  AudioRun run(false);
  WriteBytes(run.Res("MUSIC/song.mid"), NinetySixBeats());
  run.Start();
  run.Do(kMusic, "song");
  run.RunUntil(36245);
  EXPECT_NEAR(audio::MusicPosition(run.host), 96.98, 1e-9);
  run.Do(kMusicPlaying);
  run.RunUntil(36250);  // 97 beats: 36 s plus one beat at 240 a minute
  run.Do(kMusic, kMusicAgain);
  run.RunUntil(80000);
  EXPECT_EQ(run.Log(), (std::vector<Entry>{{kAsked, 1, 0},
                                           {kAsked, 1, 36245},
                                           {kMusicEnd, 0, 36250},
                                           {kAsked, 1, 36250},
                                           {kMusicEnd, 0, 72500}}));
  EXPECT_TRUE(run.log_lines().empty());
}

TEST(Music, StopsWithoutTheEndMessageAndAMissingFileLastsOneBeat) {
  AudioRun run(false);
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
  EXPECT_EQ(run.Log(), (std::vector<Entry>{{kAsked, 1, 0},
                                           {kMusicEnd, 0, 500},
                                           {kAsked, 1, 1000},
                                           {kAsked, 0, 1250},
                                           {kAsked, 1, 1250},
                                           {kAsked, 0, 1300}}));
  EXPECT_EQ(run.log_lines().size(), 3u);
  EXPECT_EQ(run.log_lines().back(), "music MUSIC/none.mid: No such file or directory");
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
  EXPECT_GT(Rms(run.Heard(0, 100)), 0.3);
  EXPECT_GT(Rms(run.Heard(100, 120)), 0.3);
  EXPECT_EQ(Rms(run.Heard(121, 1000)), 0.0);  // the click is over and the tone is gone
  EXPECT_GT(Rms(run.Heard(1000, 1100)), 0.3);
  EXPECT_EQ(Rms(run.Heard(1100, 1200)), 0.0);
  EXPECT_GT(Rms(run.Heard(1200, 1300)), 0.3);
  EXPECT_EQ(Rms(run.Heard(1300, 1500)), 0.0);
  EXPECT_EQ(run.log_lines(), (std::vector<std::string>{
                                 "sound none.wav: No such file or directory",
                                 "sound " + std::string(200, 'a') + ": the name is too long"}));
}

TEST(Music, WithoutADeviceTheClockKeepsTimeAndAudioOutStillRecords) {
  AudioRun run(true, false);
  const std::string wav = run.dir.path() + "/out.wav";
  run.host.options.audio_out = wav;
  std::FILE* notices = std::tmpfile();
  run.host.audio.notices = notices;
  WriteBytes(run.Res("MUSIC/song.mid"), OneNote());
  run.Start();
  run.Do(kMusic, "plain");
  run.RunUntil(3000);
  EXPECT_EQ(run.Log(), (std::vector<Entry>{{kAsked, 1, 0}, {kMusicEnd, 0, 2000}}));
  audio::StopAudio(run.host);  // completes the file
  std::rewind(notices);
  char line[200] = "";
  EXPECT_EQ(std::string(std::fgets(line, sizeof line, notices)),
            "orva: no audio device could be opened; running without sound\n");
  std::fclose(notices);
  const std::string bytes = ReadText(wav);
  ASSERT_EQ(bytes.size(), 44 + 3000u * 48 * 4);
  if (audio::FindSoundFont("", "").path.empty()) return;
  const int16_t* samples = reinterpret_cast<const int16_t*>(bytes.data() + 44);
  EXPECT_EQ(Rms({samples, samples + 96000}), 0.0);
  EXPECT_GT(Rms({samples + 96000, samples + 144000}), 0.003);
}

// The sound of a run that plays the music at 0 (when `music`) and the tone at 1 s (when `tone`).
std::vector<int16_t> Render(bool music, bool tone) {
  AudioRun run(true);
  WriteBytes(run.Res("MUSIC/song.mid"), OneNote());
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
  size_t off_by_more = 0;
  for (size_t i = 0; i < both.size(); ++i)
    off_by_more += std::abs(both[i] - music[i] - tone[i]) > 1;
  EXPECT_EQ(off_by_more, 0u);
  EXPECT_EQ(Render(true, true), both);  // and the same on every run
}

}  // namespace
}  // namespace orva::test
