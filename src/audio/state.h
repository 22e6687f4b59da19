// State of the audio subsystem: the music and the current sound effect.
#pragma once

#include <string>

namespace orva::audio {

struct AudioState {
  std::string saved_music_name;  // the last music name given, for "play the same again"
  bool music_playing = false;
};

}  // namespace orva::audio
