// State of the audio subsystem: the music and the current sound effect.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace orva::audio {

struct Engine;

struct AudioState {
  AudioState();
  ~AudioState();  // stops the output and completes an --audio-out file

  std::string saved_music_name;  // the last music name given, for "play the same again"
  bool music_playing = false;
  std::unique_ptr<Engine> engine;  // the output, mixer, synth and what they play; made on demand
  std::FILE* notices = stderr;     // the few lines about missing devices and SoundFonts
};

}  // namespace orva::audio
