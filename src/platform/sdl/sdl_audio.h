// The SDL audio device: plays what an AudioSource renders, pulling it on SDL's audio thread.
//
// The source renders inside the device's callback, under the device's lock; the host takes the
// same lock (Lock/Unlock) only to hand the mixer new pointers, which takes microseconds. A busy
// host thread (a long machine run) therefore never starves the device: nothing it does holds
// the lock. The buffer is 1024 frames (about 21 ms at 48 kHz).
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace orva::platform {

class SdlAudioOutput final : public AudioOutput {
 public:
  SdlAudioOutput() = default;
  ~SdlAudioOutput() override { Stop(); }
  SdlAudioOutput(const SdlAudioOutput&) = delete;
  SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

  // Opens the default device for 16-bit stereo near `rate` (the device may choose another
  // rate, which is returned) and starts pulling. 0 when no device opens; error() says why.
  int Start(AudioSource* source, int rate) override;
  void Stop() override;
  void Lock() override;
  void Unlock() override;

  const std::string& error() const { return error_; }
  static constexpr int kBufferFrames = 1024;

 private:
  static void Pull(void* self, uint8_t* stream, int bytes);

  uint32_t device_ = 0;  // SDL_AudioDeviceID; 0 when closed
  bool subsystem_ = false;
  AudioSource* source_ = nullptr;
  std::string error_;
};

}  // namespace orva::platform
