// The entry orva looks up when it opens the desktop back end as a module (see main.cpp).
#include <string>

#include "platform/sdl/sdl_platform.h"

extern "C" [[gnu::visibility("default")]] orva::platform::Platform* orva_open_sdl_platform(
    std::string* error) {
  return orva::platform::OpenSdlPlatform(*error).release();
}
