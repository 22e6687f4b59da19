#include "platform/sdl/x_errors.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace orva::platform {

namespace {

XErrorHandler previous_handler = nullptr;  // Xlib's handler is process-wide, and so is this

int OnXError(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
  return previous_handler ? previous_handler(display, error) : 0;
}

}  // namespace

void IgnoreMessagesToVanishedWindows() {
  XErrorHandler before = XSetErrorHandler(OnXError);
  if (before != OnXError) previous_handler = before;
}

}  // namespace orva::platform
