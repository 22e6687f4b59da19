// State of the host shell: timers, the pending-size flag and the window records.
#pragma once

#include <bitset>
#include <cstdint>

namespace orva::host {

// The program timer: at most one, started and stopped by the program (clock service command 0).
struct ProgramTimer {
  bool running = false;
  uint32_t interval_ms = 0;
  uint64_t next_ns = 0;  // when it fires next, on the platform's monotonic clock
};

// The window geometry the program asked for (window services command 9); zero until it asks.
struct WindowRequest {
  int32_t x = 0, y = 0;
  uint32_t width = 0, height = 0;
};

struct Shell {
  bool initialised = false;   // messages 1 and 2 have run; window notifications may post
  bool pending_size = false;  // the first idle host tick posts message 9 once more
  bool live_resize = false;   // the user is dragging the window's size
  uint32_t view_width = 0, view_height = 0;
  WindowRequest requested;

  uint32_t tick_count = 0;         // idle host ticks that found the ring empty; wraps
  uint64_t host_ticks = 0;         // host ticks run so far, for --ticks
  uint64_t next_host_tick_ns = 0;  // when the 5 ms host timer fires next
  ProgramTimer program_timer;

  std::bitset<512> hotkeys_held;  // by key position: pressed as a host hotkey, not yet released
};

}  // namespace orva::host
