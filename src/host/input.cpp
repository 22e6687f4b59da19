#include "host/input.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "core/host.h"
#include "core/message_codes.h"
#include "host/keys.h"
#include "vm/image.h"
#include "vm/messages.h"

namespace orva::host {

namespace {

using platform::Event;
using platform::EventType;

constexpr size_t kKeyTextBytes = 8;  // what messages 14 carry

void Post(Host& host, uint32_t code, uint32_t p1, uint32_t p2, uint32_t p3) {
  vm::PostMsg(host, {code, p1, p2, p3});
}

// A coordinate or delta as a whole number, truncated toward zero; values beyond 32 bits (and
// NaN, as 0) are held to its range rather than left undefined.
int64_t Truncate(double v, double limit) {
  if (!(v == v)) return 0;
  return static_cast<int64_t>(std::clamp(std::trunc(v), -limit, limit));
}

int32_t Coordinate(double v) { return static_cast<int32_t>(Truncate(v, 2147483647.0)); }

// (y << 16) | x, each half cut to 16 bits, so that a position left of or above the view keeps
// its own half instead of spilling into the other.
uint32_t Packed(int32_t x, int32_t y) {
  return (static_cast<uint32_t>(y) & 0xFFFF) << 16 | (static_cast<uint32_t>(x) & 0xFFFF);
}

// The longest start of `text` of at most `limit` bytes that ends between two characters.
size_t WholeCharacters(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t n = limit;
  while (n > 0 && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

// Message 14: the text's first 8 bytes (whole characters only), NUL-padded, as two
// little-endian words.
void PostKeyText(Host& host, std::string_view text) {
  uint8_t bytes[kKeyTextBytes] = {};
  std::memcpy(bytes, text.data(), WholeCharacters(text, kKeyTextBytes));
  Post(host, kMsgKeyText, vm::Ld32(bytes), vm::Ld32(bytes + 4), 0);
}

// The combined state of Shift, Ctrl and Alt changed: one message per modifier that changed, then
// the state's bits follow.
void ModifiersChanged(Host& host, uint16_t modifiers) {
  struct Modifier {
    uint16_t mask;
    uint32_t held, key;
  };
  static constexpr Modifier kModifiers[] = {{platform::kModShift, kHeldShift, kKeyShift},
                                            {platform::kModCtrl, kHeldControl, kKeyControl},
                                            {platform::kModAlt, kHeldOption, kKeyOption}};
  uint32_t& buttons = host.shell.input.buttons;
  uint32_t after = buttons;
  for (const Modifier& m : kModifiers) {
    bool down = (modifiers & m.mask) != 0;
    if (down != ((buttons & m.held) != 0)) Post(host, down ? kMsgKeyDown : kMsgKeyUp, m.key, 0, 0);
    after = down ? after | m.held : after & ~m.held;
  }
  buttons = after;  // after the messages, as the program may read the state while they run
}

void KeyDown(Host& host, const Event& e) {
  if (IsModifierKey(e.scancode)) return ModifiersChanged(host, e.modifiers);
  std::string text = e.text;
  if (text.empty()) text = FallbackText(e.scancode);
  if (text.empty() && (e.modifiers & platform::kModCtrl))
    text = UsLayoutText(e.scancode, e.modifiers);  // Ctrl (Command) types the key's own text
  std::bitset<512>& dead = host.shell.input.dead;
  bool known = e.scancode < dead.size();
  if (text.empty()) {  // a dead key, or the start of a compose sequence
    if (known) dead.set(e.scancode);
    return;
  }
  if (known) dead.reset(e.scancode);
  Post(host, kMsgKeyDown, KeyCode(e.scancode), 1, 0);
  PostKeyText(host, text);
}

void KeyUp(Host& host, const Event& e) {
  if (IsModifierKey(e.scancode)) return ModifiersChanged(host, e.modifiers);
  std::bitset<512>& dead = host.shell.input.dead;
  if (e.scancode < dead.size() && dead.test(e.scancode)) {
    dead.reset(e.scancode);
    return;
  }
  Post(host, kMsgKeyUp, KeyCode(e.scancode), 1, 0);
}

// Text without a key press (an input method, a compose result): each character arrives as a
// press of key 0 with its text, so that a long text is not cut to its first 8 bytes.
void TextTyped(Host& host, std::string_view text) {
  while (!text.empty()) {
    size_t n = 1;
    while (n < text.size() && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) ++n;
    Post(host, kMsgKeyDown, 0, 1, 0);
    PostKeyText(host, text.substr(0, n));
    text.remove_prefix(n);
  }
}

struct Button {
  uint32_t code, held;
};

// Button numbers: 1 left, 2 middle, 3 right, 4 and 5 the side buttons.
Button ButtonOf(int number) {
  switch (number) {
    case 1: return {kButtonLeft, kHeldLeft};
    case 2: return {kButtonMiddle, kHeldMiddle};
    case 3: return {kButtonRight, kHeldRight};
    case 4: return {kButtonX1, kHeldX1};
    default: return {kButtonOther, kHeldOther};
  }
}

void Pointer(Host& host, const Event& e) {
  host.shell.input.pointer_x = Coordinate(e.x);
  host.shell.input.pointer_y = Coordinate(e.y);
}

void ButtonChanged(Host& host, const Event& e, bool down) {
  if (e.button < 1) return;
  Pointer(host, e);
  InputState& in = host.shell.input;
  Button b = ButtonOf(e.button);
  in.buttons = down ? in.buttons | b.held : in.buttons & ~b.held;
  uint32_t x = static_cast<uint32_t>(in.pointer_x), y = static_cast<uint32_t>(in.pointer_y);
  Post(host, down ? kMsgKeyDown : kMsgKeyUp, b.code, in.buttons,
       Packed(in.pointer_x, in.pointer_y));
  if (!down) Post(host, kMsgMouseMove, x, y, in.buttons);
}

void Motion(Host& host, const Event& e) {
  Pointer(host, e);
  const InputState& in = host.shell.input;
  if (!host.machine.in_qx && host.machine.ring.empty())
    Post(host, kMsgMouseMove, static_cast<uint32_t>(in.pointer_x),
         static_cast<uint32_t>(in.pointer_y), in.buttons);
}

// Ten steps per unit of the desktop's delta, truncated, at most kMaxWheelSteps messages of +1 or
// -1 each.
void WheelSteps(Host& host, uint32_t code, double delta) {
  int64_t steps = Truncate(delta * 10.0, 1e9);
  if (steps == 0) return;
  const InputState& in = host.shell.input;
  uint32_t packed = Packed(in.pointer_x, in.pointer_y);
  uint32_t step = steps > 0 ? 1 : 0xFFFFFFFF;
  for (int64_t i = std::min<int64_t>(std::abs(steps), kMaxWheelSteps); i > 0; --i)
    Post(host, kMsgKeyDown, code, step, packed);
}

void Wheel(Host& host, const Event& e) {
  // Away from the user is +1 whichever way the desktop turns the wheel's deltas.
  double sign = e.flipped ? -1.0 : 1.0;
  WheelSteps(host, kWheelVertical, e.dy * sign);
  WheelSteps(host, kWheelHorizontal, e.dx * sign);
}

}  // namespace

void HandleInputEvent(Host& host, const Event& e) {
  switch (e.type) {
    case EventType::kKeyDown: KeyDown(host, e); break;
    case EventType::kKeyUp: KeyUp(host, e); break;
    case EventType::kText: TextTyped(host, e.text); break;
    case EventType::kButtonDown: ButtonChanged(host, e, true); break;
    case EventType::kButtonUp: ButtonChanged(host, e, false); break;
    case EventType::kMotion: Motion(host, e); break;
    case EventType::kWheel: Wheel(host, e); break;
    default: break;
  }
}

void Activate(Host& host) {
  uint32_t& buttons = host.shell.input.buttons;
  if (!(buttons & kHeldControl)) return;
  buttons &= ~kHeldControl;
  Post(host, kMsgKeyUp, kKeyControl, 0, 0);
}

}  // namespace orva::host
