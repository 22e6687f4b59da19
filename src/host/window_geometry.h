// The window's geometry between the program and the desktop.
//
// Coordinates. The program sees desktop points with the origin at the bottom left of the main
// display and y upwards; a frame's x and y are the bottom-left corner of the window's content
// area. The platform gives the top-left corner in points from the top-left corner of the
// desktop (the main display's), y downwards. ToProgram and ToPlatform are the one place that
// converts; both measure the content area, so width and height are the same on both sides.
//
// Echoes. The desktop answers the shell's own frame and full-screen changes with the same
// notifications as the user's, later and on its own schedule. What the shell asked for is
// remembered (the size the program was told of, the position it placed the window at, the
// full-screen change it made), so that the notifications that merely confirm it post nothing.
#pragma once

#include "host/state.h"
#include "platform/platform.h"

namespace orva {
struct Host;
}

namespace orva::host {

inline constexpr uint32_t kMinWindowX = 30, kMinWindowY = 20;
inline constexpr uint32_t kMinWindowWidth = 600, kMinWindowHeight = 400;

platform::Rect ToPlatform(Host&, const WindowRequest&);
WindowRequest ToProgram(Host&, const platform::Rect&);

// Applies the requested geometry (window services command 9, the program timer's rescue of a
// collapsed window): a zero size takes the last good geometry, anything below 600 x 400 becomes
// the minimum window at (30, 20). Before the window is shown the request is only stored.
void ApplyWindowGeometry(Host&);

// The window's frame as the program sees it, with the full-screen flag: while in full screen
// the last windowed frame. Refreshes the saved windowed frame and the last good geometry. False
// (and `out` untouched) before the window is shown.
bool GetWindowFrame(Host&, WindowRequest& out);

}  // namespace orva::host
