#include "host/event_player.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/host.h"
#include "host/event_pump.h"
#include "host/event_recorder.h"
#include "host/keys.h"
#include "host/window_geometry.h"

namespace orva::host {

namespace {

using platform::Event;
using platform::EventType;

constexpr size_t kMaxScriptBytes = 64 << 20;

void Dispatch(Host& host, EventType type) {
  Event e;
  e.type = type;
  DispatchEvent(host, e);
}

}  // namespace

void EventPlayer::KeyChanged(uint16_t scancode, bool down) {
  if (scancode == kScanCapsLock && down) caps_lock_ = !caps_lock_;
  if (scancode < kScanLeftCtrl || scancode > kScanRightGui) return;
  uint16_t bit = static_cast<uint16_t>(1u << (scancode - kScanLeftCtrl));
  held_modifier_keys_ = down ? held_modifier_keys_ | bit : held_modifier_keys_ & ~bit;
}

void EventPlayer::PlayNext(Host& host) {
  const ScriptLine& line = lines_[next_++];
  platform::Display& display = host.platform.display();
  Event e;
  // Script positions are view points; events carry view pixels.
  double scale = std::max(host.options.scale, 1);
  e.x = line.x / scale;
  e.y = line.y / scale;
  switch (line.kind) {
    case ScriptKind::kKeyDown:
    case ScriptKind::kKeyUp: {
      bool down = line.kind == ScriptKind::kKeyDown;
      KeyChanged(line.scancode, down);
      // Left and right keys of a kind count as one modifier (bits 0-3 and 4-7 of held keys).
      uint16_t sides = held_modifier_keys_ | held_modifier_keys_ >> 4;
      e.type = down ? EventType::kKeyDown : EventType::kKeyUp;
      e.scancode = line.scancode;
      e.modifiers = static_cast<uint16_t>(
          (sides & 1 ? platform::kModCtrl : 0) | (sides & 2 ? platform::kModShift : 0) |
          (sides & 4 ? platform::kModAlt : 0) | (sides & 8 ? platform::kModGui : 0) |
          (caps_lock_ ? platform::kModCaps : 0));
      if (down) e.text = line.has_text ? line.text : UsLayoutText(line.scancode, e.modifiers);
      return DispatchEvent(host, e);
    }
    case ScriptKind::kText:
      e.type = EventType::kText;
      e.text = line.text;
      return DispatchEvent(host, e);
    case ScriptKind::kMouseMove: e.type = EventType::kMotion; return DispatchEvent(host, e);
    case ScriptKind::kMouseDown:
    case ScriptKind::kMouseUp:
      e.type = line.kind == ScriptKind::kMouseDown ? EventType::kButtonDown : EventType::kButtonUp;
      e.button = line.button;
      return DispatchEvent(host, e);
    case ScriptKind::kWheel:
      e.type = EventType::kWheel;
      e.dx = line.x;
      e.dy = line.y;
      return DispatchEvent(host, e);
    case ScriptKind::kResize:
    case ScriptKind::kMove: {
      if (display.FullScreen()) return;  // the desktop owns a full-screen window's frame
      platform::Rect frame = display.WindowFrame();
      if (line.kind == ScriptKind::kResize) {  // the top-left corner stays where it is
        frame.width = static_cast<int32_t>(line.x);
        frame.height = static_cast<int32_t>(line.y);
      } else {
        WindowRequest to = ToProgram(host, frame);
        to.x = static_cast<int32_t>(line.x);
        to.y = static_cast<int32_t>(line.y);
        frame = ToPlatform(host, to);
      }
      return display.SetWindowFrame(frame);
    }
    case ScriptKind::kMinimize: return display.SetMinimized(true);
    case ScriptKind::kRestore: return display.SetMinimized(false);
    case ScriptKind::kFullScreenOn: return display.SetFullScreen(true);
    case ScriptKind::kFullScreenOff: return display.SetFullScreen(false);
    case ScriptKind::kFocusLost: return Dispatch(host, EventType::kFocusLost);
    case ScriptKind::kFocusGained: return Dispatch(host, EventType::kFocusGained);
    case ScriptKind::kClose: return Dispatch(host, EventType::kCloseRequested);
    case ScriptKind::kQuit: return Dispatch(host, EventType::kQuitRequested);
    case ScriptKind::kClipboard:
      host.platform.desktop().SetClipboardText(line.text);
      return Record(host, line);
  }
}

std::variant<std::vector<ScriptLine>, std::string> ReadEventScript(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) return "cannot read " + path + ": " + std::strerror(errno);
  std::string text;
  char block[65536];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f.get())) > 0) {
    text.append(block, n);
    if (text.size() > kMaxScriptBytes) return path + " is larger than 64 MiB";
  }
  if (std::ferror(f.get())) return "cannot read " + path + ": " + std::strerror(errno);
  return ParseEventScript(text, path);
}

}  // namespace orva::host
