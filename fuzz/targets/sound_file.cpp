// Any file as a sound effect: refused with a reason, or decoded to stereo at the output rate,
// every value finite and within full scale, no longer than the longest effect played.
#include <cmath>

#include "audio/sound_file.h"
#include "harness.h"

ORVA_FUZZ_TARGET(sound_file) {
  using namespace orva::audio;
  static const orva::fuzz::Scratch scratch("sound_file");
  const std::string path = scratch.res() + "effect";
  scratch.Write(path, orva::fuzz::Text(input));
  constexpr uint32_t kRate = 48000;
  auto decoded = DecodeSound(path, kRate);
  if (auto* why = std::get_if<std::string>(&decoded)) {
    FUZZ_CHECK(!why->empty());
    return;
  }
  const Sound& sound = *std::get<std::shared_ptr<const Sound>>(decoded);
  FUZZ_CHECK(sound.samples.size() % 2 == 0);
  // Resampling may round the length up by a frame.
  FUZZ_CHECK(sound.frames() <= uint64_t{kMaxSoundSeconds} * kRate + 1);
  for (float v : sound.samples) FUZZ_CHECK(std::isfinite(v) && v >= -1.0f && v <= 1.0f);
}
