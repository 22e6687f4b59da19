#include "host/event_pump.h"

#include "core/host.h"
#include "graphics/screen.h"
#include "host/hotkeys.h"
#include "host/input.h"
#include "host/quit_signals.h"
#include "host/shutdown.h"
#include "host/window_events.h"

namespace orva::host {

namespace {

using platform::EventType;

void Dispatch(Host& host, const platform::Event& e) {
  switch (e.type) {
    case EventType::kNone: break;
    case EventType::kKeyDown:
    case EventType::kKeyUp:
      if (HandleHotkey(host, e)) break;
      HandleInputEvent(host, e);
      break;
    case EventType::kText:
    case EventType::kButtonDown:
    case EventType::kButtonUp:
    case EventType::kMotion:
    case EventType::kWheel: HandleInputEvent(host, e); break;
    case EventType::kResized:
      HandleWindowEvent(host, e);
      // Whatever the window's records make of it, the view now shows more or less of the
      // screen, and a window that grew has nothing in its new part yet.
      graphics::RedrawView(host);
      break;
    case EventType::kMoved:
    case EventType::kMinimized:
    case EventType::kRestored:
    case EventType::kFullScreenEntered:
    case EventType::kFullScreenLeft:
    case EventType::kFocusGained:
    case EventType::kFocusLost: HandleWindowEvent(host, e); break;
    case EventType::kExposed: graphics::RedrawView(host); break;
    case EventType::kCloseRequested: AskToClose(host); break;
    case EventType::kQuitRequested: AskToQuit(host); break;
  }
}

}  // namespace

void PumpEvents(Host& host) {
  platform::Events& events = host.platform.events();
  platform::Event e;
  while (events.Poll(e)) Dispatch(host, e);
  if (TakeQuitSignal()) {
    AskToQuit(host);
    QuitSignalAnswered();
  }
}

}  // namespace orva::host
