// Music and sound effects, as the program reaches them through service group 6.
#pragma once

#include <cstdint>
#include <string_view>

#include "audio/state.h"

namespace orva {
struct Host;
namespace services {
class SysCall;
}
}  // namespace orva

namespace orva::audio {

void PlaySound(Host&, std::string_view name);
void PlayMusic(Host&, std::string_view name);
void StopMusic(Host&);

// Service group 6: music and sound effects.
void AudioService(Host&, services::SysCall&, uint32_t command);

}  // namespace orva::audio
