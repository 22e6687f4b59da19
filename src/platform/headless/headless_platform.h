// The back end without display or sound device. Deterministic in every group:
//   alerts     to stderr as "alert: <text>", answered at once as if "Sigh" were pressed;
//   clock      virtual, starting at zero; waiting jumps straight to the deadline or to the next
//              queued event, whichever is earlier;
//   display    a virtual desktop of one or more displays side by side and a virtual window on it,
//              managed like a cooperative window manager would: frame, full-screen and minimise
//              requests are honoured at once and the notifications a desktop sends are queued;
//   events     a queue of timed events that tests and event scripts fill;
//   desktop    an in-memory clipboard, a recorded cursor, URLs recorded (one line on stderr);
//   audio      a sink driven by the virtual clock: as the clock moves, the source renders the
//              frames that time covers, and a tap (when set) receives them.
#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace orva::platform {

class HeadlessPlatform final : public Platform,
                               Alerts,
                               Clock,
                               Display,
                               Events,
                               Desktop,
                               AudioOutput {
 public:
  // `err` receives alerts, log lines and URLs; null keeps them only in the records below.
  // `displays` are the virtual desktop's displays, side by side from the left, the first main.
  explicit HeadlessPlatform(std::FILE* err = stderr, std::vector<Size> displays = {{1920, 1080}});

  Alerts& alerts() override { return *this; }
  Clock& clock() override { return *this; }
  Display& display() override { return *this; }
  Events& events() override { return *this; }
  Desktop& desktop() override { return *this; }
  AudioOutput& audio() override { return *this; }

  // --- What tests and event scripts do ---------------------------------------------------------
  // Queues `event` to become ready when the clock reaches `time_ns` (now, when earlier).
  // Events become ready in time order, and in the order queued for equal times.
  void Inject(const Event& event, uint64_t time_ns = 0);
  void set_local_time(const LocalTime& t) { now_local_ = t; }
  // The virtual desktop's displays, as the constructor takes them; before the window opens.
  void set_displays(std::vector<Size> displays) { displays_ = std::move(displays); }
  // Receives every block of audio the sink renders.
  void set_audio_tap(std::function<void(const int16_t*, size_t frames)> tap) {
    audio_tap_ = std::move(tap);
  }

  // --- What the program has shown, for tests and for the log of a headless run -----------------
  const std::vector<std::string>& shown_alerts() const { return alerts_; }
  const std::vector<std::string>& log_lines() const { return log_; }
  const std::vector<std::string>& opened_urls() const { return urls_; }
  const std::vector<Rect>& presented() const { return presented_; }  // every Present's area
  Cursor cursor() const { return cursor_; }
  const std::string& title() const { return title_; }
  bool window_shown() const { return shown_; }

 private:
  // Alerts
  void Alert(std::string_view utf8) override;
  void SystemLog(std::string_view text) override;
  // Clock
  uint64_t MonotonicNanos() override { return now_; }
  LocalTime Now() override { return now_local_; }
  void WaitUntil(uint64_t deadline) override;
  // Display
  Size DesktopSize() override;
  Size MainDisplaySize() override { return displays_.front(); }
  bool OpenWindow(const WindowSpec&) override;
  void ShowWindow() override { shown_ = true; }
  Rect WindowFrame() override;
  void SetWindowFrame(const Rect&) override;
  Size ViewSize() override;
  void SetTitle(std::string_view utf8) override { title_ = utf8; }
  bool FullScreen() override { return full_screen_; }
  void SetFullScreen(bool on) override;
  bool Minimized() override { return minimized_; }
  void SetMinimized(bool minimized) override;
  void Present(const Frame& screen, const Rect& area) override;
  // Events
  bool Poll(Event&) override;
  // Desktop
  std::optional<std::string> ClipboardText() override { return clipboard_; }
  void SetClipboardText(std::string_view utf8) override { clipboard_ = std::string(utf8); }
  void SetCursor(Cursor c) override { cursor_ = c; }
  bool OpenUrl(std::string_view url) override;
  // Audio output
  int Start(AudioSource* source, int rate) override;
  void Stop() override { source_ = nullptr; }
  void Lock() override {}
  void Unlock() override {}

  void Print(const char* kind, std::string_view text);
  void Notify(EventType type, int32_t width = 0, int32_t height = 0);
  void RenderAudioUntil(uint64_t time_ns);

  std::FILE* err_;
  std::vector<std::string> alerts_, log_, urls_;

  uint64_t now_ = 0;
  LocalTime now_local_{2000, 1, 1, 0, 0, 0};  // a fixed calendar keeps runs reproducible

  std::vector<Size> displays_;
  WindowSpec spec_;
  Rect frame_;  // the windowed frame, as WindowFrame gives it
  bool open_ = false, shown_ = false, full_screen_ = false, minimized_ = false;
  std::string title_;
  std::vector<Rect> presented_;

  struct Timed {
    uint64_t time_ns;
    Event event;
  };
  std::deque<Timed> queue_;  // sorted by time, stable

  std::optional<std::string> clipboard_;
  Cursor cursor_ = Cursor::kArrow;

  AudioSource* source_ = nullptr;
  int rate_ = 0;
  uint64_t audio_start_ns_ = 0;
  uint64_t frames_rendered_ = 0;
  std::vector<int16_t> audio_block_;
  std::function<void(const int16_t*, size_t)> audio_tap_;
};

}  // namespace orva::platform
