// Group 6: decodes the music and sound-effect commands for the audio subsystem.
#include "audio/audio.h"
#include "services/dispatch.h"

namespace orva::services {

namespace {
constexpr uint32_t kStopMusic = 0xFFFFFFFF;
constexpr uint32_t kReplayMusic = 0xFFFFFFFE;
}  // namespace

void AudioService(Host& host, SysCall& call, uint32_t command) {
  switch (command) {
    case 0: audio::PlaySound(host, call.String(call.Arg(0))); break;
    case 1: {
      uint32_t name = call.Arg(0);
      if (name == kStopMusic) {
        audio::StopMusic(host);
      } else if (name == kReplayMusic) {
        audio::PlayMusic(host, host.audio.saved_music_name);
      } else {
        // Kept whole: a name too long for a path simply fails to open when played.
        host.audio.saved_music_name.assign(call.String(name));
        audio::PlayMusic(host, host.audio.saved_music_name);
      }
      break;
    }
    case 2: audio::StopMusic(host); break;
    case 3: call.Result(host.audio.music_playing ? 1 : 0); break;
    default: break;  // commands above 3 do nothing
  }
}

}  // namespace orva::services
