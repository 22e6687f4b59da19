#include "platform/sdl/sdl_audio.h"

namespace orva::platform {

int SdlAudioOutput::Start(AudioSource*, int) { return 0; }

}  // namespace orva::platform
