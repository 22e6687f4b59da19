#include "host/window_geometry.h"

#include <algorithm>

#include "core/host.h"

namespace orva::host {

namespace {

constexpr int64_t kMaxSide = 0xFFFF;  // sizes reach the program as 16-bit values

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// y of a frame's far edge seen from the other end of the main display: the same formula turns
// a top-left y (y down) into a bottom-left y (y up) and back.
int64_t Flip(Host& host, int64_t y, int64_t height) {
  return int64_t{host.platform.display().MainDisplaySize().height} - y - height;
}

}  // namespace

platform::Rect ToPlatform(Host& host, const WindowRequest& r) {
  int64_t width = std::min<int64_t>(r.width, kMaxSide),
          height = std::min<int64_t>(r.height, kMaxSide);
  return {r.x, Clamp32(Flip(host, r.y, height)), static_cast<int32_t>(width),
          static_cast<int32_t>(height)};
}

WindowRequest ToProgram(Host& host, const platform::Rect& r) {
  WindowRequest out;
  out.x = r.x;
  out.y = Clamp32(Flip(host, r.y, r.height));
  out.width = static_cast<uint32_t>(std::max(r.width, 0));
  out.height = static_cast<uint32_t>(std::max(r.height, 0));
  return out;
}

void ApplyWindowGeometry(Host& host) {
  WindowState& w = host.shell.window;
  WindowRequest& req = host.shell.requested;
  if (req.width == 0 || req.height == 0) req = w.last_good;
  if (req.width < kMinWindowWidth || req.height < kMinWindowHeight) {
    req.x = kMinWindowX;
    req.y = kMinWindowY;
    req.width = kMinWindowWidth;
    req.height = kMinWindowHeight;
  }
  if (!host.machine.started) return;

  platform::Display& display = host.platform.display();
  if (!w.full_screen_mode) {
    w.saved = req;
    w.saved.full_screen = 0;
  }
  if (req.full_screen == 0) {
    platform::Rect frame = ToPlatform(host, req), before = display.WindowFrame();
    display.SetWindowFrame(frame);
    if (!w.full_screen && (frame.x != before.x || frame.y != before.y))
      w.own_move = std::pair{req.x, req.y};
    // The program chose this size: the resize that confirms it is not news to it.
    platform::Size view = display.ViewSize();
    w.seen_width = static_cast<uint16_t>(view.width);
    w.seen_height = static_cast<uint16_t>(view.height);
  }
  bool want = req.full_screen != 0;
  if (want != w.full_screen) {
    if (want) w.full_screen_mode = true;  // the windowed frame is kept from here on
    w.own_full_screen = want;
    display.SetFullScreen(want);
  }
}

bool GetWindowFrame(Host& host, WindowRequest& out) {
  if (!host.machine.started) return false;
  WindowState& w = host.shell.window;
  uint32_t full_screen = w.full_screen ? 1 : 0;
  WindowRequest frame = ToProgram(host, host.platform.display().WindowFrame());
  if (w.full_screen_mode)
    frame = w.saved;
  else
    w.saved = frame;
  frame.full_screen = full_screen;
  if (frame.width != 0 && frame.height != 0) w.last_good = frame;
  out = frame;
  return true;
}

}  // namespace orva::host
