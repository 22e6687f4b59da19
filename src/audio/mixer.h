// The one mixer: the music (our sequencer driving the synth) and the current sound effect,
// mixed into the stream the audio output plays.
//
// Threads: Render runs on the output's thread (headless, and without a device, on the host's);
// everything else runs on the host's thread with the output locked, so Render never sees a
// change half made. The music position is the one value read without the lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "audio/sequence.h"
#include "audio/sound_file.h"
#include "audio/synth.h"
#include "audio/wav_writer.h"
#include "platform/platform.h"

namespace orva::audio {

class Mixer final : public platform::AudioSource {
 public:
  Mixer();
  void Render(int16_t* samples, size_t frames) override;

  // --- Host's thread, output locked. The mixer keeps pointers; their owner keeps them alive
  // until they are replaced here.
  // Silence until a rate is set; `synth` may be null (the music is then silent but keeps time),
  // and so may `recorder`.
  void Configure(uint32_t rate, Synth* synth, WavWriter* recorder);
  // Plays `music` from its start on a freshly reset synth; null stops the music, letting the
  // notes that sound fade out.
  void SetMusic(const Sequence* music);
  // Plays `sound` from its start in place of the current one; null silences the effect.
  void SetSound(const Sound* sound);

  // --- Any thread.
  // Frames of the current music rendered so far.
  uint64_t music_frames() const { return music_frames_.load(std::memory_order_acquire); }

 private:
  void RenderMusic(float* mix, size_t frames);

  static constexpr size_t kBlockFrames = 1024;
  uint32_t rate_ = 0;
  Synth* synth_ = nullptr;
  WavWriter* recorder_ = nullptr;
  const Sequence* music_ = nullptr;
  size_t next_event_ = 0;
  std::atomic<uint64_t> music_frames_{0};
  const Sound* sound_ = nullptr;
  size_t sound_at_ = 0;  // frames of it played
  std::vector<float> mix_;
};

}  // namespace orva::audio
