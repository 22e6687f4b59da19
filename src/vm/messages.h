// Message entry: how the host runs the program. Every event reaches the program as a message of
// four u32 values (code, p1, p2, p3) that is pushed on the machine stack as the entry routine's
// arguments; the routine at address 512 then runs until it returns.
//
// One thread calls all of these. `in_qx` is the re-entry guard: while a message runs, posted
// messages wait in the ring, and a request to run one at once is queued instead (the loop keeps
// PC, SP and FP outside the image while it runs, so a nested run could not resume it).
#pragma once

#include <cstdint>

#include "vm/ring.h"

namespace orva {
struct Host;
}

namespace orva::vm {

// Runs one message now: pushes it with a return address of 0 and an argument byte count of 16,
// runs from address 512, compacts the heap, and returns MSGRESULT sign-extended. A fatal stop
// in the run leads to the exit sequence (ExitProgram) from here.
int32_t QXmsg(Host&, const Message&);

// Runs a message now, bypassing the ring; returns 0 without running it before the program is
// loaded, or (after an alert) when a message is already running.
int32_t ForceMsg(Host&, const Message&);

// Runs the message at once when nothing forces it to wait (the machine is idle and either the
// window is not yet shown or the program has no timer of its own); otherwise appends it to the
// ring.
void PostMsg(Host&, const Message&);

// Runs the oldest pending message, if any, unless a message is already running.
void DeliverNextMsg(Host&);

// Looks for a key message (12 or 13) at the front of the ring, discarding timer ticks (11) and
// pointer moves (15) in front of it. Takes it off the ring only when `remove` is true.
bool NextKeyMsg(Host&, bool remove, Message& out);

// Discards the timer ticks and pointer moves at the front of the ring; `out` receives the last
// pointer move among them. True when there was one.
bool LatestMouseMoveMsg(Host&, Message& out);

// The exit message 4, then the end of the process with status 0.
[[noreturn]] void ExitProgram(Host&);

}  // namespace orva::vm
