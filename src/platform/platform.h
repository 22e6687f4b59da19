// Everything the host takes from the desktop goes through this one interface. The core (vm, heap,
// services, graphics, audio) sees the desktop only through it, which is what lets every test run
// the real core headless, in-process.
//
// Back ends:
//   platform/headless/  no display, no sound device, a virtual clock, alerts to stderr. Real code,
//                       not a mock: tests inject events and read back what was shown through it.
//   platform/sdl/       the desktop back end (window, events, clipboard, cursors, URLs, fonts,
//                       music, sound effects).
//
// The interface grows by groups, each small: alerts and logs, process, time and waiting; then
// window, events, clipboard, cursor, URL, fonts, music and sound as their subsystems arrive.
// Every call is made on the host's one thread unless its comment says otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orva::platform {

// Thrown by Platform::Exit. The process entry catches it, finishes its shutdown work (such as
// --dump-image) and returns the status; tests catch it to observe how a run ended.
struct ProcessExit {
  int status;
};

struct LocalTime {
  int year, month, day, hour, minute, second;  // month 1-12, day 1-31
};

class Platform {
 public:
  Platform() = default;
  virtual ~Platform() = default;
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;

  // --- Alerts and logs ---------------------------------------------------------------------
  // A modal warning alert with the one button "Sigh"; returns when it is dismissed. The text is
  // UTF-8, already cut to length by the caller.
  virtual void Alert(std::string_view utf8) = 0;
  // One entry in the system log: diagnostics meant for the developer, not the user.
  virtual void SystemLog(std::string_view text) = 0;

  // --- Process -----------------------------------------------------------------------------
  // Ends the process with `status` by throwing ProcessExit, so that the process entry (or a
  // test) unwinds cleanly and finishes its shutdown work.
  [[noreturn]] void Exit(int status) { throw ProcessExit{status}; }

  // --- Time --------------------------------------------------------------------------------
  // Monotonic time in nanoseconds from an arbitrary origin. Headless, a virtual clock that moves
  // only when WaitUntil says so, which makes runs reproducible.
  virtual uint64_t MonotonicNanos() = 0;
  // Local calendar date and time.
  virtual LocalTime Now() = 0;
  // Blocks until the monotonic clock reaches `deadline` (or an event arrives, once the back end
  // has events). Headless, the virtual clock jumps straight to the deadline.
  virtual void WaitUntil(uint64_t deadline) = 0;

  // True for the back end without display or sound device.
  virtual bool headless() const = 0;
};

}  // namespace orva::platform
