// The desktop back end: an SDL2 window, its input devices, the clipboard, cursors, URLs and
// alerts. This header is what the process entry sees of it, so it names no SDL type; the files
// beside it are the only code that includes SDL headers.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace orva::platform {

// Starts SDL's video and returns the back end, or null with the reason in `error` (one line,
// without "orva: " or a line end) when there is no display to open a window on. A display
// counts only when the desktop offers one (DISPLAY or WAYLAND_DISPLAY) or SDL_VIDEODRIVER names
// a driver explicitly: SDL's own fallbacks (the offscreen and dummy drivers) show nobody
// anything. One instance per process.
std::unique_ptr<Platform> OpenSdlPlatform(std::string& error);

}  // namespace orva::platform
