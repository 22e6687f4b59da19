// Music and sound effects, as the program reaches them through service group 6.
#pragma once

#include <string>
#include <string_view>

namespace orva {
struct Host;
}

namespace orva::audio {

struct AudioState {
  std::string saved_music_name;  // the last music name given, for "play the same again"
  bool music_playing = false;
};

void PlaySound(Host&, std::string_view name);
void PlayMusic(Host&, std::string_view name);
void StopMusic(Host&);

}  // namespace orva::audio
