// Decoding sound effects: every format a game may bring, each made here with libsndfile.
#include "audio/sound_file.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>

#include "support/temp_dir.h"

namespace orva::audio {
namespace {

struct Format {
  const char* name;
  int format, rate, channels;
};

// Writes 0.25 s of a 440 Hz sine (the right channel, if any, at half the level); false when
// this libsndfile cannot write the format.
bool WriteSine(const std::string& path, const Format& f) {
  SF_INFO info{};
  info.samplerate = f.rate;
  info.channels = f.channels;
  info.format = f.format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  std::vector<float> samples;
  for (int i = 0; i < f.rate / 4; ++i) {
    float v = 0.5f * static_cast<float>(std::sin(2 * M_PI * 440 * i / f.rate));
    samples.push_back(v);
    if (f.channels == 2) samples.push_back(v / 2);
  }
  sf_writef_float(file, samples.data(), f.rate / 4);
  sf_close(file);
  return true;
}

TEST(SoundFile, EveryFormatDecodesToTheOutputRate) {
  const test::TempDir dir;
  const Format formats[] = {
      {"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1},
      {"wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 2},
      {"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 48000, 2},
      {"aifc", SF_FORMAT_AIFF | SF_FORMAT_ULAW, 8000, 1},
      {"caf", SF_FORMAT_CAF | SF_FORMAT_ALAC_16, 44100, 2},
      {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 32000, 1},
      {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2},
      {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 1},
      {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2},
  };
  for (const Format& f : formats) {
    SCOPED_TRACE(std::string(f.name) + " at " + std::to_string(f.rate));
    const std::string path = dir.path() + "/sine." + f.name;
    ASSERT_TRUE(WriteSine(path, f)) << sf_strerror(nullptr);
    auto decoded = DecodeSound(path, 48000);
    ASSERT_TRUE(std::holds_alternative<std::shared_ptr<const Sound>>(decoded))
        << std::get<std::string>(decoded);
    const Sound& s = *std::get<std::shared_ptr<const Sound>>(decoded);
    // Lossy coders pad the start and the end by up to a few frames of their own.
    EXPECT_GE(s.frames(), 12000u - 100);
    EXPECT_LE(s.frames(), 12000u + 3000);
    // Still a 440 Hz tone of the same level, on both sides (mono) or at half on the right.
    size_t crossings = 0;
    double left = 0, right = 0;
    for (size_t i = 1; i < s.frames(); ++i) {
      crossings += (s.samples[2 * i - 2] < 0) != (s.samples[2 * i] < 0);
      left += s.samples[2 * i] * s.samples[2 * i];
      right += s.samples[2 * i + 1] * s.samples[2 * i + 1];
    }
    EXPECT_NEAR(crossings, 220, 12);
    EXPECT_NEAR(std::sqrt(left / 12000), 0.354, 0.03);
    EXPECT_NEAR(std::sqrt(right / left), f.channels == 2 ? 0.5 : 1.0, 0.03);
  }
}

TEST(SoundFile, WhatIsNoSoundIsRefusedWithoutWaiting) {
  const test::TempDir dir;
  test::WriteText(dir.path() + "/junk.wav", "RIFF\x10\0\0\0WAVEjunk, not sound");
  ASSERT_EQ(::mkfifo((dir.path() + "/pipe.wav").c_str(), 0600), 0);
  for (const char* name : {"/junk.wav", "/pipe.wav", "/missing.wav", ""}) {
    auto decoded = DecodeSound(dir.path() + name, 48000);
    EXPECT_TRUE(std::holds_alternative<std::string>(decoded)) << name;
  }
}

TEST(SoundFile, TheCacheNoticesAChangedFile) {
  const test::TempDir dir;
  const std::string path = dir.path() + "/a.flac";
  const Format flac{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1};
  ASSERT_TRUE(WriteSine(path, flac));
  SoundCache cache(48000);
  auto first = std::get<std::shared_ptr<const Sound>>(cache.Get(path));
  EXPECT_EQ(std::get<std::shared_ptr<const Sound>>(cache.Get(path)), first);
  ASSERT_TRUE(WriteSine(path, {"flac", flac.format, 24000, 2}));
  auto second = std::get<std::shared_ptr<const Sound>>(cache.Get(path));
  EXPECT_NE(second, first);
  EXPECT_NEAR(second->samples[2001], first->samples[2001] / 2, 0.02);  // now stereo
}

}  // namespace
}  // namespace orva::audio
