// The window's notifications (resized, moved, minimised and restored, full screen entered and
// left, focus), turned into the shell's record of the window and the program's messages 7, 8
// and 9.
#pragma once

namespace orva {
struct Host;
}
namespace orva::platform {
struct Event;
}

namespace orva::host {

void HandleWindowEvent(Host&, const platform::Event&);

}  // namespace orva::host
