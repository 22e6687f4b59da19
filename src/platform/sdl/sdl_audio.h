// The audio device. For now there is none: Start answers 0 and the source is never called.
#pragma once

#include "platform/platform.h"

namespace orva::platform {

class SdlAudioOutput final : public AudioOutput {
 public:
  int Start(AudioSource* source, int rate) override;
  void Stop() override {}
  void Lock() override {}
  void Unlock() override {}
};

}  // namespace orva::platform
