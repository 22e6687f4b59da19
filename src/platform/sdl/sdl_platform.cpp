#include "platform/sdl/sdl_platform.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_events.h"
#include "platform/sdl/sdl_window.h"
#include "platform/sdl/x_errors.h"

namespace orva::platform {

namespace {

constexpr uint64_t kNanosPerMilli = 1'000'000;

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// Owns SDL's video subsystem for the life of the platform.
class SdlSession {
 public:
  SdlSession() = default;
  ~SdlSession() { SDL_Quit(); }
  SdlSession(const SdlSession&) = delete;
  SdlSession& operator=(const SdlSession&) = delete;
};

// The alerts, the clock and the desktop group live here; the window, its events and the audio
// device in their own classes.
class SdlPlatform final : public Platform, Alerts, Clock, Desktop {
 public:
  SdlPlatform() : events_(window_) {}
  ~SdlPlatform() override {
    for (SDL_Cursor* c : cursors_)
      if (c) SDL_FreeCursor(c);
  }

  Alerts& alerts() override { return *this; }
  Clock& clock() override { return *this; }
  Display& display() override { return window_; }
  Events& events() override { return events_; }
  Desktop& desktop() override { return *this; }
  AudioOutput& audio() override { return audio_; }

 private:
  // --- Alerts: a modal warning box over the window, and always a copy on stderr, so that a run
  // from a terminal keeps a record (and a desktop that cannot show the box loses nothing).
  void Alert(std::string_view utf8) override {
    std::string text(utf8);
    std::fprintf(stderr, "alert: %s\n", text.c_str());
    std::fflush(stderr);
    SDL_MessageBoxButtonData sigh{
        SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0,
        "Sigh"};
    SDL_Window* parent = window_.window();
    const char* title = parent ? SDL_GetWindowTitle(parent) : "Orva";
    SDL_MessageBoxData box{SDL_MESSAGEBOX_WARNING, parent, title, text.c_str(), 1, &sigh, nullptr};
    int pressed;
    SDL_ShowMessageBox(&box, &pressed);
  }

  void SystemLog(std::string_view text) override {
    std::fprintf(stderr, "log: %.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(stderr);
  }

  // --- Clock
  uint64_t MonotonicNanos() override {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint64_t(t.tv_sec) * 1'000'000'000 + uint64_t(t.tv_nsec);
  }

  LocalTime Now() override {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
  }

  // Sleeps in SDL's wait (the X connection's poll) until an event arrives or the deadline,
  // rounded up to whole milliseconds, has passed: the thread never spins.
  void WaitUntil(uint64_t deadline) override {
    for (;;) {
      if (window_.HasNotification()) return;
      uint64_t now = MonotonicNanos();
      if (now >= deadline) return;
      uint64_t ms = (deadline - now + kNanosPerMilli - 1) / kNanosPerMilli;
      if (SDL_WaitEventTimeout(nullptr, static_cast<int>(std::min<uint64_t>(ms, 60'000))) == 1)
        return;
    }
  }

  // --- Desktop
  std::optional<std::string> ClipboardText() override {
    if (!SDL_HasClipboardText()) return std::nullopt;
    char* text = SDL_GetClipboardText();
    if (!text) return std::nullopt;
    std::string out(text);
    SDL_free(text);
    return out;
  }

  void SetClipboardText(std::string_view utf8) override {
    SDL_SetClipboardText(std::string(utf8).c_str());
  }

  // Cursors are made on first use; a desktop without them (SDL's dummy driver) keeps its own.
  void SetCursor(Cursor c) override {
    size_t i = c == Cursor::kPointingHand ? 1 : 0;
    if (!cursors_[i])
      cursors_[i] = SDL_CreateSystemCursor(i ? SDL_SYSTEM_CURSOR_HAND : SDL_SYSTEM_CURSOR_ARROW);
    if (cursors_[i]) SDL_SetCursor(cursors_[i]);
  }

  bool OpenUrl(std::string_view url) override { return SDL_OpenURL(std::string(url).c_str()) == 0; }

  SdlSession session_;  // first, so that SDL stops after everything below is gone
  SdlWindow window_;
  SdlEvents events_;
  SdlAudioOutput audio_;
  SDL_Cursor* cursors_[2] = {nullptr, nullptr};
};

}  // namespace

std::unique_ptr<Platform> OpenSdlPlatform(std::string& error) {
  bool driver_named = Set("SDL_VIDEODRIVER");
  if (!driver_named && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
    error =
        "no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
        "run with --headless to run without one";
    return nullptr;
  }
  // The host handles SIGINT and SIGTERM itself, and decides itself what closing the window
  // means (the program is asked first).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // A windowed program should not turn the desktop's compositor off.
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  IgnoreMessagesToVanishedWindows();
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    error = std::string("no display to open a window on (") + SDL_GetError() +
            "); run with --headless to run without one";
    return nullptr;
  }
  std::string_view driver = SDL_GetCurrentVideoDriver();
  if (!driver_named && (driver == "offscreen" || driver == "dummy")) {
    SDL_Quit();
    error = "no display to open a window on; run with --headless to run without one";
    return nullptr;
  }
  // Files dropped on the window mean nothing to a program (and each event would carry a string
  // to free).
  for (uint32_t type : {SDL_DROPFILE, SDL_DROPTEXT, SDL_DROPBEGIN, SDL_DROPCOMPLETE})
    SDL_EventState(type, SDL_DISABLE);
  return std::make_unique<SdlPlatform>();
}

}  // namespace orva::platform
