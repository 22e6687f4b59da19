// Xlib's handling of protocol errors, made to fit a window that goes away.
#pragma once

namespace orva::platform {

// Installs an Xlib error handler that ignores a message sent to a window that no longer exists
// and hands every other error to the handler in place before (by default: print and exit 1).
// SDL wakes its own event wait by sending its window a message on a second connection; when the
// window is destroyed at the end of the run before the server has taken that message in, the
// error comes back as the connection closes, and Xlib's default handler would end a clean exit
// with status 1. Call before SDL starts its video, which keeps the handler it finds and puts it
// back when it stops.
void IgnoreMessagesToVanishedWindows();

}  // namespace orva::platform
