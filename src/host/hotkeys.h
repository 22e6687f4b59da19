// Keys the host keeps for itself; the program never sees them, nor their release:
//   Alt+Enter    full screen on and off (either Enter key)
//   Ctrl+Alt+P   a screenshot of the view into the pictures folder, its path on stderr
//   Ctrl+Q       the quit command
// Each needs exactly its modifiers (Caps Lock aside), so that Ctrl+Shift+Q, say, still reaches
// the program.
#pragma once

namespace orva {
struct Host;
}
namespace orva::platform {
struct Event;
}

namespace orva::host {

// Acts on a host hotkey; true when `event` was one (or the release of one) and is used up.
bool HandleHotkey(Host&, const platform::Event&);

}  // namespace orva::host
