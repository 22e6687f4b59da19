#include "platform/sdl/sdl_events.h"

#include <string>

namespace orva::platform {

namespace {

uint16_t Modifiers(uint16_t mod) {
  uint16_t out = 0;
  if (mod & KMOD_SHIFT) out |= kModShift;
  if (mod & KMOD_CTRL) out |= kModCtrl;
  if (mod & KMOD_ALT) out |= kModAlt;
  if (mod & KMOD_GUI) out |= kModGui;
  if (mod & KMOD_CAPS) out |= kModCaps;
  return out;
}

// SDL pushes a key press's text as a TEXTINPUT right behind its KEYDOWN, stamped when it was
// pushed: the same millisecond, or a later one when the clock ticked (or the thread was
// preempted) in between.
constexpr uint32_t kTextDelayMs = 20;

// The text that came with a key press: the TEXTINPUT at the queue's head, taken off it.
std::string TextOfKeyPress(const SDL_KeyboardEvent& key) {
  SDL_Event next;
  if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) != 1 ||
      next.type != SDL_TEXTINPUT || next.text.timestamp - key.timestamp > kTextDelayMs)
    return {};
  SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
  return next.text.text;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// With Ctrl held the layout gives no text (SDL drops control characters), yet Ctrl plays the
// program's Command key, whose presses type the key's own character. The key's symbol in the
// active layout is that character unshifted: a letter a-z is given in capitals with Shift or
// Caps Lock, any other character only without Shift. Empty otherwise; the host then gives the
// key's US-layout text.
std::string TextUnderCtrl(const SDL_Keysym& k) {
  if (!(k.mod & KMOD_CTRL)) return {};
  uint32_t c = static_cast<uint32_t>(k.sym);
  bool shift = (k.mod & KMOD_SHIFT) != 0;
  std::string text;
  if (c >= 'a' && c <= 'z')
    text += static_cast<char>(shift != ((k.mod & KMOD_CAPS) != 0) ? c - 'a' + 'A' : c);
  else if (!shift && c >= 0x20 && c != 0x7F && c < 0x110000 && (c < 0xD800 || c > 0xDFFF))
    AppendUtf8(text, c);  // symbols of keys without a character carry SDLK_SCANCODE_MASK
  return text;
}

}  // namespace

bool SdlEvents::Poll(Event& out) {
  if (window_.TakeNotification(out)) return true;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    out = Event{};
    if (Convert(e, out)) return true;
  }
  return false;
}

bool SdlEvents::Convert(const SDL_Event& e, Event& out) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      out.type = e.type == SDL_KEYDOWN ? EventType::kKeyDown : EventType::kKeyUp;
      out.scancode = static_cast<uint16_t>(e.key.keysym.scancode);  // USB HID usage codes
      out.repeat = e.key.repeat != 0;
      out.modifiers = Modifiers(e.key.keysym.mod);
      if (e.type == SDL_KEYDOWN) {
        out.text = TextOfKeyPress(e.key);
        if (out.text.empty()) out.text = TextUnderCtrl(e.key.keysym);
      }
      return true;
    case SDL_TEXTINPUT:
      out.type = EventType::kText;
      out.text = e.text.text;
      return !out.text.empty();
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      out.type = e.type == SDL_MOUSEBUTTONDOWN ? EventType::kButtonDown : EventType::kButtonUp;
      out.button = e.button.button;  // 1 left, 2 middle, 3 right, 4 and 5 the side buttons
      out.x = ToView(e.button.x);
      out.y = ToView(e.button.y);
      return true;
    case SDL_MOUSEMOTION:
      out.type = EventType::kMotion;
      out.x = ToView(e.motion.x);
      out.y = ToView(e.motion.y);
      return true;
    case SDL_MOUSEWHEEL:
      out.type = EventType::kWheel;
      out.dx = e.wheel.preciseX;
      out.dy = e.wheel.preciseY;
      out.flipped = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED;
      out.x = ToView(e.wheel.mouseX);
      out.y = ToView(e.wheel.mouseY);
      return true;
    case SDL_WINDOWEVENT: return ConvertWindowEvent(e.window, out);
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
      window_.ContentsLost();
      out.type = EventType::kExposed;
      return true;
    case SDL_QUIT: out.type = EventType::kQuitRequested; return true;
    default: return false;
  }
}

bool SdlEvents::ConvertWindowEvent(const SDL_WindowEvent& w, Event& out) {
  switch (w.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      out.type = EventType::kResized;
      out.width = w.data1 / window_.scale();
      out.height = w.data2 / window_.scale();
      return true;
    case SDL_WINDOWEVENT_MOVED:
      out.type = EventType::kMoved;
      out.x = w.data1;
      out.y = w.data2;
      return true;
    case SDL_WINDOWEVENT_MINIMIZED:
      minimized_ = true;
      out.type = EventType::kMinimized;
      return true;
    case SDL_WINDOWEVENT_RESTORED:  // also the end of a maximise, which is only a resize
      if (!minimized_) return false;
      minimized_ = false;
      out.type = EventType::kRestored;
      return true;
    case SDL_WINDOWEVENT_FOCUS_GAINED: out.type = EventType::kFocusGained; return true;
    case SDL_WINDOWEVENT_FOCUS_LOST: out.type = EventType::kFocusLost; return true;
    case SDL_WINDOWEVENT_EXPOSED: out.type = EventType::kExposed; return true;
    case SDL_WINDOWEVENT_CLOSE: out.type = EventType::kCloseRequested; return true;
    default: return false;
  }
}

}  // namespace orva::platform
