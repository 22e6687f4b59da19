#include "platform/sdl/x_title.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>

namespace orva::platform {

void SetX11Utf8Title(SDL_Window* window, std::string_view utf8) {
  if (std::all_of(utf8.begin(), utf8.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  Display* display = info.info.x11.display;
  ::Window xwindow = info.info.x11.window;
  Atom utf8_string = XInternAtom(display, "UTF8_STRING", False);
  auto bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  int length = static_cast<int>(utf8.size());
  for (Atom property : {XInternAtom(display, "_NET_WM_NAME", False), XA_WM_NAME})
    XChangeProperty(display, xwindow, property, utf8_string, 8, PropModeReplace, bytes, length);
  XFlush(display);
}

}  // namespace orva::platform
