// Group 6: decodes the music and sound-effect commands for the audio subsystem.
#include "audio/audio.h"
#include "services/syscall.h"

namespace orva::audio {

namespace {
constexpr uint32_t kStopMusic = 0xFFFFFFFF;
constexpr uint32_t kReplayMusic = 0xFFFFFFFE;
}  // namespace

void AudioService(Host& host, services::SysCall& call, uint32_t command) {
  switch (command) {
    case 0: PlaySound(host, call.String(call.Arg(0))); break;
    case 1: {
      uint32_t name = call.Arg(0);
      if (name == kStopMusic) {
        StopMusic(host);
      } else if (name == kReplayMusic) {
        PlayMusic(host, host.audio.saved_music_name);
      } else {
        // Kept whole: a name too long for a path simply fails to open when played.
        host.audio.saved_music_name.assign(call.String(name));
        PlayMusic(host, host.audio.saved_music_name);
      }
      break;
    }
    case 2: StopMusic(host); break;
    case 3: call.Result(host.audio.music_playing ? 1 : 0); break;
    default: break;  // commands above 3 do nothing
  }
}

}  // namespace orva::audio
