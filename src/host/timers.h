// The two timers of the shell, both on the platform's monotonic clock: the 5 ms host timer, which
// delivers pending messages one per tick and a tick message 11 every 16th idle tick, and the
// program timer, which the program starts and stops itself.
#pragma once

#include <cstdint>

namespace orva {
struct Host;
namespace services {
class SysCall;
}
}  // namespace orva

namespace orva::host {

inline constexpr uint64_t kHostTickNanos = 5'000'000;

// Starts the program timer with an interval of `interval_ms` milliseconds, first firing one
// interval from now. Nothing changes when one is already running: changing the interval takes
// a stop first.
void StartProgramTimer(Host&, uint32_t interval_ms);
void StopProgramTimer(Host&);

// One tick of the host timer: when the machine is idle (and no live resize is going on), posts
// the pending size message, counts the tick when the ring is empty (message 11 on every 16th),
// and delivers one pending message. Then, in every case, the music poll (message 10 at its end).
void HostTick(Host&);

// Service group 2: the monotonic clock, the local date and the program timer.
void ClockService(Host&, services::SysCall&, uint32_t command);

// One tick of the program timer: gives a window collapsed below 10 points wide the minimum
// window back, then posts message 11 when the machine is idle.
void ProgramTick(Host&);

}  // namespace orva::host
