// The screen bitmap (hBM 0) and the text scratch bitmap, set up once at start-up.
#pragma once

#include <cstdint>

namespace orva {
struct Host;
}

namespace orva::graphics {

// Creates the screen bitmap at the desktop size, cleared to opaque black, and the text scratch
// bitmap, and empties the font cache. Fatal ("Failed creating screen BITMAP. Terminating. So
// sorry!") when that fails.
void SetupScreen(Host&, int32_t desktop_width, int32_t desktop_height);

// Hands the dirty rectangle of the screen to the display and empties it; nothing when it is
// empty. Runs after every message run that ended without a fault.
void RedrawDirtyRect(Host&);

// Shows the whole view again: the window lost its contents or changed size. While a message
// runs, the view joins the dirty rectangle instead and is shown after the run.
void RedrawView(Host&);

}  // namespace orva::graphics
