// Everything the host takes from the desktop goes through this one interface, in small groups.
// The core (vm, heap, services, graphics, audio) computes; the platform only lends devices: a
// window to show the screen in, input, a clock, a clipboard, an audio device. That is what lets a
// headless run draw and sound exactly as a window does, and every test run the real core
// in-process.
//
// Back ends:
//   platform/headless/  a virtual desktop and window, a virtual clock, an in-memory clipboard,
//                       an audio sink driven by the clock, alerts to stderr. Real code, not a
//                       mock: tests inject events and read back what was shown through it.
//   platform/sdl/       the desktop back end: an SDL2 window, input devices, clipboard,
//                       cursors, URLs, alerts and the audio device. The only code that includes
//                       SDL headers.
//
// Every call is made on the host's one thread unless its comment says otherwise. Code above
// the platform asks for what it needs through the groups; it never asks which back end it has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

struct Size {
  int32_t width = 0, height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int32_t x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A bitmap as the display reads it: rows top first, 4 bytes per pixel in the memory order red,
// green, blue, alpha. The display shows it opaque: the alpha byte is not shown.
struct Frame {
  const uint8_t* pixels = nullptr;
  int32_t width = 0, height = 0;
  size_t row_bytes = 0;
};

// ---------------------------------------------------------------------------------------------
// Alerts and the system log

class Alerts {
 public:
  virtual ~Alerts() = default;
  // A modal warning alert with the one button "Sigh"; returns when it is dismissed. The text is
  // UTF-8, already cut to length by the caller. Timers and events wait while it is shown.
  virtual void Alert(std::string_view utf8) = 0;
  // One entry in the system log: diagnostics meant for the developer, not the user.
  virtual void SystemLog(std::string_view text) = 0;
};

// ---------------------------------------------------------------------------------------------
// Clock and waiting

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time in nanoseconds from an arbitrary origin. Headless, a virtual clock that moves
  // only when WaitUntil moves it, which makes runs reproducible.
  virtual uint64_t MonotonicNanos() = 0;
  // Local calendar date and time.
  virtual LocalTime Now() = 0;
  // Blocks until the clock reaches `deadline` or an event is ready for Events::Poll, whichever
  // comes first; never spins. Headless, the clock jumps to the deadline, or to the time of the
  // next scripted event when that is earlier.
  virtual void WaitUntil(uint64_t deadline) = 0;
};

// ---------------------------------------------------------------------------------------------
// Display: the desktop and the one window

struct WindowSpec {
  std::string title;                   // UTF-8
  int32_t width = 1000, height = 600;  // the content area (the view), in points
  int32_t scale = 1;                   // each bitmap pixel is shown as scale x scale points
};

class Display {
 public:
  virtual ~Display() = default;
  // The desktop: the widths of all displays added, the height of the tallest.
  virtual Size DesktopSize() = 0;
  // The main display's size: what a full-screen window's view covers.
  virtual Size MainDisplaySize() = 0;
  // Creates the one window, not yet shown. False when there is no display to put it on.
  virtual bool OpenWindow(const WindowSpec&) = 0;
  // Shows the window in front and gives it the keyboard.
  virtual void ShowWindow() = 0;
  // The window's frame on the desktop, in points: x and y of its top-left corner from the
  // top-left corner of the desktop, y downwards; width and height of its content area.
  virtual Rect WindowFrame() = 0;
  virtual void SetWindowFrame(const Rect&) = 0;
  // The view, in bitmap pixels (points divided by the scale).
  virtual Size ViewSize() = 0;
  virtual void SetTitle(std::string_view utf8) = 0;
  virtual bool FullScreen() = 0;
  // Enters or leaves the desktop's full-screen mode. The back end posts kFullScreenEntered or
  // kFullScreenLeft once the change has happened.
  virtual void SetFullScreen(bool on) = 0;
  virtual bool Minimized() = 0;
  // Minimises the window or restores it, as the user's window controls do. The back end posts
  // kMinimized or kRestored once the change has happened.
  virtual void SetMinimized(bool minimized) = 0;
  // Shows `area` of `screen` (bitmap pixels, clipped to both the screen and the view) and
  // presents the window. The view shows the screen's top-left part one bitmap pixel per
  // scale x scale points, without smoothing; where the view is larger than the screen it is
  // black.
  virtual void Present(const Frame& screen, const Rect& area) = 0;
};

// ---------------------------------------------------------------------------------------------
// Events

enum class EventType : uint8_t {
  kNone,
  kKeyDown,     // scancode, repeat, modifiers (the state after the event), and text: what the
                // keyboard layout gave for this press, UTF-8; empty when it gave none (a dead
                // key, or a key such as Return that has no text on this desktop)
  kKeyUp,       // scancode, modifiers
  kText,        // text that arrived without a key press (an input method, a compose result, a
                // character not on the keymap), UTF-8
  kButtonDown,  // button, x, y
  kButtonUp,    // button, x, y
  kMotion,      // x, y
  kWheel,       // dx, dy (y > 0 away from the user), flipped; at the last pointer position
  kResized,     // width, height: the view's new size, in bitmap pixels
  kMoved,       // x, y: the window frame's new position, as WindowFrame gives it
  kMinimized,
  kRestored,
  kFullScreenEntered,
  kFullScreenLeft,
  kFocusGained,
  kFocusLost,
  kExposed,         // the window lost its contents and must be presented whole
  kCloseRequested,  // the window's close button
  kQuitRequested,   // the desktop's quit command, SIGTERM or SIGINT
};

// Key positions are USB HID usage codes (keyboard page), the same for every layout.
// Modifier bits of Event::modifiers:
inline constexpr uint16_t kModShift = 1, kModCtrl = 2, kModAlt = 4, kModGui = 8, kModCaps = 16;

// Mouse buttons: 1 left, 2 middle, 3 right, 4 and 5 the side buttons, higher numbers beyond.
struct Event {
  EventType type = EventType::kNone;
  uint16_t scancode = 0;
  bool repeat = false;
  uint16_t modifiers = 0;
  std::string text;
  int button = 0;
  double x = 0, y = 0;  // pointer position in the view, bitmap pixels from its top-left corner
  double dx = 0, dy = 0;
  bool flipped = false;  // the desktop reverses the wheel ("natural scrolling")
  int32_t width = 0, height = 0;
};

class Events {
 public:
  virtual ~Events() = default;
  // Takes the oldest pending event; false when none is pending. Never blocks.
  virtual bool Poll(Event&) = 0;
};

// ---------------------------------------------------------------------------------------------
// Clipboard, cursor and URLs

enum class Cursor : uint8_t { kArrow, kPointingHand };

class Desktop {
 public:
  virtual ~Desktop() = default;
  // The clipboard's plain text, UTF-8; nullopt when it holds none.
  virtual std::optional<std::string> ClipboardText() = 0;
  virtual void SetClipboardText(std::string_view utf8) = 0;
  virtual void SetCursor(Cursor) = 0;
  // Hands `url` to the desktop's default handler. False when nothing could be started.
  virtual bool OpenUrl(std::string_view url) = 0;
};

// ---------------------------------------------------------------------------------------------
// Audio output

// What the audio device plays: the core's mixer. Render is called on the device's own thread
// (headless: on the host's thread, as the clock moves).
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Fills `frames` frames of interleaved stereo, signed 16-bit samples.
  virtual void Render(int16_t* samples, size_t frames) = 0;
};

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Starts pulling from `source` at about `rate` frames per second. Returns the rate the device
  // really runs at, or 0 when there is no device; the source is then never called.
  virtual int Start(AudioSource* source, int rate) = 0;
  virtual void Stop() = 0;
  // Keeps Render from running in between, for changes the device's thread must not see half
  // done. Short: the device is starved while it is held.
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
};

// ---------------------------------------------------------------------------------------------

class Platform {
 public:
  Platform() = default;
  virtual ~Platform() = default;
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;

  virtual Alerts& alerts() = 0;
  virtual Clock& clock() = 0;
  virtual Display& display() = 0;
  virtual Events& events() = 0;
  virtual Desktop& desktop() = 0;
  virtual AudioOutput& audio() = 0;

  // Ends the process with `status` by throwing ProcessExit, so that the process entry (or a
  // test) unwinds cleanly and finishes its shutdown work.
  [[noreturn]] void Exit(int status) { throw ProcessExit{status}; }
};

}  // namespace orva::platform
