#include "audio/audio.h"

namespace orva::audio {

// No audio back end yet: sounds and music are silent no-ops.
void PlaySound(Host&, std::string_view) {}
void PlayMusic(Host&, std::string_view) {}
void StopMusic(Host&) {}

}  // namespace orva::audio
