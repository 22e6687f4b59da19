// The desktop tells of each change once it has happened, in its own time: a resize, a move, a
// change of full screen, whether the user made it or the shell asked for it (window_geometry.h
// says how the shell's own changes are told apart).
#include "host/window_events.h"

#include <algorithm>

#include "core/host.h"
#include "core/message_codes.h"
#include "host/event_recorder.h"
#include "host/input.h"
#include "host/window_geometry.h"
#include "vm/messages.h"

namespace orva::host {

namespace {

using platform::Event;
using platform::EventType;

constexpr int32_t kNarrowestWindow = 20;  // below this, leaving full screen resets the frame

void RecordUser(Host& host, ScriptKind kind, double x = 0, double y = 0) {
  ScriptLine line;
  line.kind = kind;
  line.x = x;
  line.y = y;
  Record(host, line);
}

bool RefreshFullScreen(Host& host) {
  return host.shell.window.full_screen = host.platform.display().FullScreen();
}

// The view size the program knows of, cut to 16 bits as message 9 carries it.
void SetSeen(Host& host, platform::Size view) {
  WindowState& w = host.shell.window;
  w.seen_width = static_cast<uint16_t>(view.width);
  w.seen_height = static_cast<uint16_t>(view.height);
  w.client_width = w.seen_width;
  w.client_height = w.seen_height;
  host.shell.view_width = w.seen_width;
  host.shell.view_height = w.seen_height;
}

// The view has a new size. Its size is read now rather than taken from the notification, which
// may be stale by the time it is handled. One message 9 per new size: a 9 still waiting in the
// ring is brought up to date instead of queueing another, and the ring moves on by one or two
// messages, as it does on a timer tick, so that the program can follow a drag that keeps the
// host busy.
void Resized(Host& host) {
  Shell& shell = host.shell;
  WindowState& w = shell.window;
  RefreshFullScreen(host);
  platform::Size view = host.platform.display().ViewSize();
  uint16_t width = static_cast<uint16_t>(view.width), height = static_cast<uint16_t>(view.height);
  shell.view_width = width;
  shell.view_height = height;
  w.client_width = width;
  w.client_height = height;
  if (width == w.seen_width && height == w.seen_height) return;  // nothing new to the program
  w.seen_width = width;
  w.seen_height = height;
  if (!shell.initialised) return;
  if (!w.full_screen) {
    platform::Rect frame = host.platform.display().WindowFrame();
    RecordUser(host, ScriptKind::kResize, frame.width, frame.height);
  }
  vm::MessageRing& ring = host.machine.ring;
  for (int32_t i = ring.read; i != ring.write; i = vm::MessageRing::Step(i)) {
    if (ring.slots[i].code != kMsgSize) continue;
    ring.slots[i].p1 = width;
    ring.slots[i].p2 = height;
    vm::DeliverNextMsg(host);
    return;
  }
  vm::PostMsg(host, {kMsgSize, width, height, kSizeNormal});
  vm::DeliverNextMsg(host);
  vm::DeliverNextMsg(host);
}

void Moved(Host& host) {
  Shell& shell = host.shell;
  WindowState& w = shell.window;
  RefreshFullScreen(host);
  WindowRequest frame;
  bool read = GetWindowFrame(host, frame);
  std::optional<std::pair<int32_t, int32_t>> own = w.own_move;
  w.own_move.reset();
  if (!read || own == std::pair{frame.x, frame.y}) return;
  if (!shell.initialised || w.full_screen) return;
  shell.requested.x = frame.x;
  shell.requested.y = frame.y;
  RecordUser(host, ScriptKind::kMove, frame.x, frame.y);
  vm::PostMsg(host, {kMsgMove, static_cast<uint32_t>(frame.x), static_cast<uint32_t>(frame.y), 0});
}

void Minimized(Host& host, bool minimized) {
  RefreshFullScreen(host);
  RecordUser(host, minimized ? ScriptKind::kMinimize : ScriptKind::kRestore);
  vm::PostMsg(host, {kMsgMinimized, minimized ? 1u : 0u, 0, 0});
}

// A full-screen change the program asked for is its own; any other is the user's.
void RecordFullScreen(Host& host, bool on) {
  WindowState& w = host.shell.window;
  if (w.own_full_screen == on)
    w.own_full_screen.reset();
  else
    RecordUser(host, on ? ScriptKind::kFullScreenOn : ScriptKind::kFullScreenOff);
}

void EnteredFullScreen(Host& host) {
  WindowState& w = host.shell.window;
  w.full_screen_mode = true;
  RefreshFullScreen(host);
  RecordFullScreen(host, true);
  SetSeen(host, host.platform.display().ViewSize());
  vm::PostMsg(host, {kMsgSize, w.client_width, w.client_height, kSizeFullScreen});
}

void LeftFullScreen(Host& host) {
  WindowState& w = host.shell.window;
  platform::Display& display = host.platform.display();
  RefreshFullScreen(host);
  RecordFullScreen(host, false);
  platform::Size view = display.ViewSize();
  if (view.width < kNarrowestWindow) {
    // A window too narrow to use is given most of the desktop, with a margin of 15% of its
    // height all round.
    const graphics::GraphicsState& g = host.gfx;
    int32_t m = static_cast<int32_t>(15 * int64_t{g.desktop_height} / 100);
    WindowRequest frame{m, m, static_cast<uint32_t>(std::max(g.desktop_width - 2 * m, 0)),
                        static_cast<uint32_t>(std::max(g.desktop_height - 2 * m, 0)), 0};
    display.SetWindowFrame(ToPlatform(host, frame));
    w.own_move = std::pair{frame.x, frame.y};
    view = display.ViewSize();
  }
  w.full_screen_mode = false;
  SetSeen(host, view);
  vm::PostMsg(host, {kMsgSize, w.client_width, w.client_height, kSizeLeftFullScreen});
}

}  // namespace

void HandleWindowEvent(Host& host, const Event& e) {
  switch (e.type) {
    case EventType::kResized: Resized(host); break;
    case EventType::kMoved: Moved(host); break;
    case EventType::kMinimized: Minimized(host, true); break;
    case EventType::kRestored: Minimized(host, false); break;
    case EventType::kFullScreenEntered: EnteredFullScreen(host); break;
    case EventType::kFullScreenLeft: LeftFullScreen(host); break;
    case EventType::kFocusGained: Activate(host); break;
    default: break;  // losing the focus releases nothing
  }
}

}  // namespace orva::host
