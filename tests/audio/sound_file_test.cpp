// Decoding sound effects: every format a game may bring, each made here with libsndfile.
#include "audio/sound_file.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>

#include "support/temp_dir.h"

namespace orva::audio {
namespace {

// 0.25 s of a 440 Hz sine at half of full scale (on the right, if any, at a quarter).
bool WriteSine(const std::string& path, int format, int rate, int channels) {
  SF_INFO info{0, rate, channels, format, 0, 0};
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  std::vector<float> samples;
  for (int i = 0; i < rate / 4; ++i) {
    float v = 0.5f * static_cast<float>(std::sin(2 * M_PI * 440 * i / rate));
    samples.push_back(v);
    if (channels == 2) samples.push_back(v / 2);
  }
  sf_writef_float(file, samples.data(), rate / 4);
  sf_close(file);
  return true;
}

const Sound& Decoded(const std::variant<std::shared_ptr<const Sound>, std::string>& v) {
  static const Sound none;
  if (auto* why = std::get_if<std::string>(&v)) ADD_FAILURE() << *why;
  return v.index() == 0 ? *std::get<0>(v) : none;
}

TEST(SoundFile, EveryFormatDecodesToTheOutputRate) {
  const test::TempDir dir;
  const struct {
    const char* ext;
    int format, rate, channels;
  } formats[] = {
      {"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1},
      {"wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 2},
      {"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 48000, 2},
      {"aifc", SF_FORMAT_AIFF | SF_FORMAT_ULAW, 8000, 1},
      {"caf", SF_FORMAT_CAF | SF_FORMAT_ALAC_16, 44100, 2},
      {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 32000, 1},
      // The highest rate FLAC has: converted a piece at a time, so a long file never takes
      // gigabytes at its own rate.
      {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 655350, 1},
      {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2},
      {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 1},
      {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2},
  };
  for (const auto& f : formats) {
    SCOPED_TRACE(std::string(f.ext) + " at " + std::to_string(f.rate));
    const std::string path = dir.path() + "/sine." + f.ext;
    ASSERT_TRUE(WriteSine(path, f.format, f.rate, f.channels)) << sf_strerror(nullptr);
    const auto decoded = DecodeSound(path, 48000);
    const Sound& s = Decoded(decoded);
    EXPECT_GE(s.frames(), 12000u - 100);  // lossy coders pad the ends a little
    EXPECT_LE(s.frames(), 12000u + 3000);
    size_t crossings = 0;
    double left = 0, right = 0;
    for (size_t i = 1; i < s.frames(); ++i) {
      crossings += (s.samples[2 * i - 2] < 0) != (s.samples[2 * i] < 0);
      left += s.samples[2 * i] * s.samples[2 * i];
      right += s.samples[2 * i + 1] * s.samples[2 * i + 1];
    }
    EXPECT_NEAR(crossings, 220, 12);  // still 440 Hz
    EXPECT_NEAR(std::sqrt(left / 12000), 0.354, 0.03);
    EXPECT_NEAR(std::sqrt(right / left), f.channels == 2 ? 0.5 : 1.0, 0.03);
  }
}

TEST(SoundFile, WhatIsNoSoundIsRefusedWithoutWaiting) {
  const test::TempDir dir;
  test::WriteText(dir.path() + "/junk.wav", "RIFF\x10\0\0\0WAVEjunk, not sound");
  ASSERT_EQ(::mkfifo((dir.path() + "/pipe.wav").c_str(), 0600), 0);  // opening it would block
  // A metadata chunk claiming 4 GB: libsndfile would read on past the end for minutes.
  const std::string fmt("fmt \x10\0\0\0\x03\0\x01\0\x40\x1f\0\0\0\x7d\0\0\x04\0\x20\0", 24);
  // (LIST, its size, then a subchunk that claims as much again.)
  const std::string list(
      "\x4c\x49\x53\x54\x00\xa6\x40\xff\xff\xff\x60\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
      "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
      "\xff\xff\xff\xff\xff\xff\xdf\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
      "\x7e\x80\xff\x00\x00\x00\x3f",
      76);
  test::WriteText(dir.path() + "/long_list.wav",
                  std::string("RIFF\x34\0\0\0WAVE", 12) + fmt + list);
  for (const char* name : {"/junk.wav", "/pipe.wav", "/missing.wav", "", "/long_list.wav"})
    EXPECT_EQ(DecodeSound(dir.path() + name, 48000).index(), 1u) << name;

  // The sound data's own chunk may run past the end: what is there plays.
  const std::string data("data\xff\xff\xff\xff\0\0\0\x3f\0\0\0\xbf", 16);
  test::WriteText(dir.path() + "/cut.wav",
                  std::string("RIFF\xff\xff\xff\xffWAVE", 12) + fmt + data);
  const auto cut = DecodeSound(dir.path() + "/cut.wav", 8000);
  ASSERT_EQ(cut.index(), 0u) << std::get<1>(cut);
  EXPECT_EQ(std::get<0>(cut)->frames(), 2u);
}

TEST(SoundFile, TheCacheNoticesAChangedFile) {
  const test::TempDir dir;
  const std::string path = dir.path() + "/a.flac";
  ASSERT_TRUE(WriteSine(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1));
  SoundCache cache(48000);
  auto first = std::get<0>(cache.Get(path));
  EXPECT_EQ(std::get<0>(cache.Get(path)), first);
  ASSERT_TRUE(WriteSine(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 24000, 2));
  EXPECT_NEAR(Decoded(cache.Get(path)).samples[2001], first->samples[2001] / 2, 0.02);
}

}  // namespace
}  // namespace orva::audio
