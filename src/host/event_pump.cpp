#include "host/event_pump.h"

#include "core/host.h"
#include "graphics/screen.h"
#include "host/event_player.h"
#include "host/event_recorder.h"
#include "host/hotkeys.h"
#include "host/input.h"
#include "host/quit_signals.h"
#include "host/shutdown.h"
#include "host/window_events.h"

namespace orva::host {

namespace {

using platform::Event;
using platform::EventType;

// Holds the recording for one event: lines found while it is handled go ahead of it, and it is
// written even when its handling ends the process.
class RecordingHold {
 public:
  explicit RecordingHold(EventRecorder* r) : recorder_(r) {
    if (recorder_) recorder_->Hold();
  }
  ~RecordingHold() {
    if (recorder_) recorder_->Release();
  }
  RecordingHold(const RecordingHold&) = delete;
  RecordingHold& operator=(const RecordingHold&) = delete;

 private:
  EventRecorder* recorder_;
};

// Events that reach the program are recorded with --record (host hotkeys, for one, do not).
void RecordEvent(Host& host, const Event& e) {
  if (!host.shell.recorder) return;
  if (auto line = ScriptLineOf(e, host.options.scale)) Record(host, *line);
}

}  // namespace

void DispatchEvent(Host& host, const Event& e) {
  RecordingHold hold(host.shell.recorder.get());
  switch (e.type) {
    case EventType::kNone: break;
    case EventType::kKeyDown:
    case EventType::kKeyUp:
      if (HandleHotkey(host, e)) break;
      [[fallthrough]];
    case EventType::kText:
    case EventType::kButtonDown:
    case EventType::kButtonUp:
    case EventType::kMotion:
    case EventType::kWheel:
      RecordEvent(host, e);
      HandleInputEvent(host, e);
      break;
    case EventType::kResized:
      HandleWindowEvent(host, e);
      // Whatever the program makes of it, the view now shows more or less of the screen, and
      // a window that grew has nothing in its new part yet.
      graphics::RedrawView(host);
      break;
    case EventType::kMoved:
    case EventType::kMinimized:
    case EventType::kRestored:
    case EventType::kFullScreenEntered:
    case EventType::kFullScreenLeft: HandleWindowEvent(host, e); break;
    case EventType::kFocusGained:
    case EventType::kFocusLost:
      RecordEvent(host, e);
      HandleWindowEvent(host, e);
      break;
    case EventType::kExposed: graphics::RedrawView(host); break;
    case EventType::kCloseRequested:
      RecordEvent(host, e);
      AskToClose(host);
      break;
    case EventType::kQuitRequested:
      RecordEvent(host, e);
      AskToQuit(host);
      break;
  }
}

void PumpEvents(Host& host) {
  platform::Events& events = host.platform.events();
  uint64_t now = host.platform.clock().MonotonicNanos();
  Event e;
  for (;;) {
    // The desktop's answers to a script line come before the script's next line.
    while (events.Poll(e)) DispatchEvent(host, e);
    EventPlayer* player = host.shell.player.get();
    if (!player || NextScriptDeadline(host) > now) break;
    player->PlayNext(host);
  }
  if (TakeQuitSignal()) {
    AskToQuit(host);
    QuitSignalAnswered();
  }
}

uint64_t NextScriptDeadline(Host& host) {
  const EventPlayer* player = host.shell.player.get();
  std::optional<uint64_t> ms = player ? player->next_ms() : std::nullopt;
  return ms ? host.shell.start_ns + *ms * 1'000'000 : UINT64_MAX;
}

}  // namespace orva::host
