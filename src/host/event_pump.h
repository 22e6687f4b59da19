// Where every event of a run comes in: the platform's own and the event script's. The event
// loop calls PumpEvents each time it wakes, before the timers that fell due, so that an event
// and a timer at the same instant meet the program in the same order on every run.
#pragma once

#include <cstdint>

namespace orva {
struct Host;
}
namespace orva::platform {
struct Event;
}

namespace orva::host {

// Dispatches the platform's pending events and plays the script lines that are due, in order,
// until none is left; then asks the program to quit if SIGINT or SIGTERM came meanwhile.
void PumpEvents(Host&);

// When the next script line falls due on the platform's clock; UINT64_MAX when none will.
uint64_t NextScriptDeadline(Host&);

// Hands one event to its handler (host hotkeys, input, window, redraw, close, quit) and records
// it with --record.
void DispatchEvent(Host&, const platform::Event&);

}  // namespace orva::host
