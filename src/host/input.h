// Input translation: keys, text, buttons, motion and the wheel, from the platform's events to the
// program's messages 12 to 15, with the button state they carry.
#pragma once

namespace orva {
struct Host;
}
namespace orva::platform {
struct Event;
}

namespace orva::host {

// Posts the messages an input event gives (key, text, button, motion or wheel).
void HandleInputEvent(Host&, const platform::Event&);

}  // namespace orva::host
