// The desktop's events, each where it belongs: the host's hotkeys, close and quit requests (and
// the quit signals), the redraw of a window that lost its contents, input for the program's
// key and mouse messages, notifications for the window's records.
#pragma once

namespace orva {
struct Host;
}

namespace orva::host {

// Takes every event that is ready, then any quit signal, and acts on each in turn.
void PumpEvents(Host&);

}  // namespace orva::host
