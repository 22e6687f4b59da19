// State of the host shell: timers, the pending-size flag and the window records.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace orva::host {

// The program timer: at most one, started and stopped by the program (clock service command 0).
struct ProgramTimer {
  bool running = false;
  uint32_t interval_ms = 0;
  uint64_t next_ns = 0;  // when it fires next, on the platform's monotonic clock
};

// Window geometry as the program names it: desktop points with the origin at the bottom left of
// the main display, y upwards; x and y are the window's bottom-left corner, width and height
// its content area. The program asks for one with window services command 9; zero until it asks.
struct WindowRequest {
  int32_t x = 0, y = 0;
  uint32_t width = 0, height = 0;
  uint32_t full_screen = 0;  // non-zero: the program wants full screen
};

// Keyboard and mouse as the program has been told of them.
struct InputState {
  uint32_t buttons = 0;                  // the button state word: buttons and modifiers held
  int32_t pointer_x = 0, pointer_y = 0;  // the last pointer position, view pixels
  std::bitset<512> dead;                 // keys whose press was a dead key, until released
};

// The shell's record of the window, kept by window services and the window's notifications.
struct WindowState {
  WindowRequest last_good;        // the last frame read with a non-zero size
  WindowRequest saved;            // the windowed frame, frozen while in full screen
  bool full_screen = false;       // as of the last notification
  bool full_screen_mode = false;  // from entering full screen until it has been left
  // A full-screen change the program asked for, so that the recording keeps only the user's.
  std::optional<bool> own_full_screen;
  // Where the program last placed the window: the move notification that follows is its own.
  std::optional<std::pair<int32_t, int32_t>> own_move;
  uint16_t seen_width = 0, seen_height = 0;  // the last view size the program was told of
  uint32_t client_width = 1100, client_height = 600;
  std::string title;  // set by the program, shown after its run
  bool title_pending = false;
};

class EventPlayer;
class EventRecorder;

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

  uint64_t start_ns = 0;  // when start-up messages 1 and 2 had run: time 0 of event scripts
  InputState input;
  WindowState window;
  std::shared_ptr<EventPlayer> player;      // --events
  std::shared_ptr<EventRecorder> recorder;  // --record

  std::bitset<512> hotkeys_held;  // by key position: pressed as a host hotkey, not yet released
};

}  // namespace orva::host
