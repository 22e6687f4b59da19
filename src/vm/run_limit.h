// How long the machine may run. A message that never returns would otherwise hold the host
// forever: the host's own timers only run between messages. The loop counts the transfers of
// control it takes (a taken branch, a jump, a call, a return, a resume): a run that does not end
// makes them without end, since straight-line code runs off the image. Every kCheckInterval of
// them the loop asks CheckRunLimit whether the run may go on, which costs the loop one
// decrement per transfer and nothing per instruction.
#pragma once

#include <cstdint>

#include "vm/fault.h"

namespace orva {
struct Host;
}

namespace orva::vm {

inline constexpr uint32_t kCheckInterval = 1u << 16;

// Exit status of a process ended by its time limit (as timeout(1) reports a timed-out command).
inline constexpr int kTimeLimitStatus = 124;

struct RunLimit {
  uint64_t deadline_ns = 0;              // on the system's monotonic clock; 0: no time limit
  uint64_t transfers_left = UINT64_MAX;  // transfers still allowed (tests, fuzzing)
  uint32_t countdown = kCheckInterval;   // transfers until the next check
  uint32_t armed = kCheckInterval;       // what countdown was last set to
};

// Called by the loop when the countdown reaches 0: counts the transfers made, looks at the
// clock, and re-arms the countdown. kReturned: go on; kLimit or kTimeLimit: stop the run.
StopKind CheckRunLimit(Host&);

// The time limit, `seconds` from now; 0 or less removes it.
void SetTimeLimit(Host&, double seconds);

// Allows the next runs `transfers` transfers in all; the run that makes the last of them stops
// there, before running its target, with StopKind::kLimit. Deterministic, unlike the clock: for
// tests and fuzzing.
void SetTransferLimit(Host&, uint64_t transfers);

// Whether the time limit has passed (for the host, between messages).
bool TimeLimitPassed(const Host&);

// The end of a run that reached its time limit: the alert, then the process ends with
// kTimeLimitStatus. The exit message does not run: a program caught in a loop may be caught
// in it again. `pc` is the address where the machine stood, or null between messages.
[[noreturn]] void EndOnTimeLimit(Host&, const uint32_t* pc);

}  // namespace orva::vm
