// Sound effects: a sound file decoded whole (libsndfile: WAV, AIFF and AIFC, CAF, FLAC, Ogg
// Vorbis and Opus, MP3, ...) and resampled to the output rate (libsamplerate), ready to mix.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace orva::audio {

// Longer sounds play their first five minutes: an effect is held whole in memory.
inline constexpr uint32_t kMaxSoundSeconds = 300;

struct Sound {
  std::vector<float> samples;  // interleaved stereo at the output rate, within -1..1
  size_t frames() const { return samples.size() / 2; }
};

// The sound in the file at `path`, at `rate` frames per second, or why it cannot be played.
// Mono plays on both sides; of more than two channels the first two are played.
std::variant<std::shared_ptr<const Sound>, std::string> DecodeSound(const std::string& path,
                                                                    uint32_t rate);

// The sounds decoded last, kept while their files stay the same (size and modification time),
// so that a game firing the same effect again and again decodes it once: decoding and
// resampling take milliseconds of the host's thread per second of sound.
class SoundCache {
 public:
  static constexpr size_t kBytes = 32 << 20;
  explicit SoundCache(uint32_t rate) : rate_(rate) {}
  std::variant<std::shared_ptr<const Sound>, std::string> Get(const std::string& path);

 private:
  struct Entry {
    std::string path;
    int64_t size, mtime_ns;
    std::shared_ptr<const Sound> sound;
  };
  uint32_t rate_;
  std::list<Entry> entries_;  // the most recently used first
  size_t bytes_ = 0;
};

}  // namespace orva::audio
