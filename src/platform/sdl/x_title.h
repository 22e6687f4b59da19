// Window titles beyond ASCII on X11.
#pragma once

#include <SDL.h>

#include <string_view>

namespace orva::platform {

// SDL's X11 driver converts a title through the C library's locale, which a program that never
// calls setlocale leaves at "C": a title with any character beyond ASCII then never reaches
// _NET_WM_NAME (which window managers show) and lands in WM_NAME as Latin-1 mojibake. This
// writes both properties as UTF8_STRING. It does nothing for an ASCII title, which SDL handles,
// or on a video driver other than X11.
void SetX11Utf8Title(SDL_Window* window, std::string_view utf8);

}  // namespace orva::platform
