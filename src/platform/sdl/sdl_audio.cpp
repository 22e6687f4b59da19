#include "platform/sdl/sdl_audio.h"

#include <SDL.h>

namespace orva::platform {

int SdlAudioOutput::Start(AudioSource* source, int rate) {
  Stop();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error_ = SDL_GetError();
    return 0;
  }
  subsystem_ = true;
  source_ = source;
  SDL_AudioSpec want{}, have{};
  want.freq = rate > 0 ? rate : 48000;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kBufferFrames;
  want.callback = Pull;
  want.userdata = this;
  // Only the rate may differ: the mixer renders at whatever rate the device runs at.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (device_ == 0) {
    error_ = SDL_GetError();
    Stop();
    return 0;
  }
  SDL_PauseAudioDevice(device_, 0);
  return have.freq;
}

void SdlAudioOutput::Stop() {
  if (device_) SDL_CloseAudioDevice(device_);  // waits for the callback to return
  device_ = 0;
  source_ = nullptr;
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  subsystem_ = false;
}

void SdlAudioOutput::Lock() {
  if (device_) SDL_LockAudioDevice(device_);
}

void SdlAudioOutput::Unlock() {
  if (device_) SDL_UnlockAudioDevice(device_);
}

void SdlAudioOutput::Pull(void* self, uint8_t* stream, int bytes) {
  auto* output = static_cast<SdlAudioOutput*>(self);
  output->source_->Render(reinterpret_cast<int16_t*>(stream),
                          static_cast<size_t>(bytes) / (2 * sizeof(int16_t)));
}

}  // namespace orva::platform
