// Input translation: key codes by position, key text, modifiers, buttons, motion and the wheel.
// The program "has a timer", so every message it is sent waits in the ring, where the tests
// read it.
#include "host/input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/message_codes.h"
#include "host/keys.h"
#include "platform/platform.h"
#include "support/test_host.h"
#include "vm/messages.h"

namespace orva::test {
namespace {

using platform::Event;
using platform::EventType;
using vm::Message;

struct Input : TestHost {
  Input() {
    host.machine.loaded_count = 2;
    host.machine.started = true;
    host.machine.paced = true;
  }
  // The messages posted since the last call.
  std::vector<Message> Sent() {
    std::vector<Message> out;
    vm::MessageRing& ring = host.machine.ring;
    for (; !ring.empty(); ring.read = vm::MessageRing::Step(ring.read))
      out.push_back(ring.slots[ring.read]);
    return out;
  }
  std::vector<Message> Key(EventType type, const char* name, std::string text = "",
                           uint16_t modifiers = 0) {
    Event e;
    e.type = type;
    e.scancode = *host::ScancodeFromName(name);
    e.text = std::move(text);
    e.modifiers = modifiers;
    host::HandleInputEvent(host, e);
    return Sent();
  }
  std::vector<Message> Mouse(EventType type, double x, double y, int button = 0) {
    Event e;
    e.type = type;
    e.x = x;
    e.y = y;
    e.button = button;
    host::HandleInputEvent(host, e);
    return Sent();
  }
};

Message Text(uint32_t p1, uint32_t p2 = 0) { return {kMsgKeyText, p1, p2, 0}; }

TEST(KeyCodes, EveryKeyGivesItsUsKeyboardCode) {
  struct Row {
    const char* name;
    uint32_t code;
  };
  // clang-format off
  const Row rows[] = {
      {"=", 0xBB}, {"-", 0xBD}, {"]", 0xDD}, {"[", 0xDB}, {"Return", 0x0D}, {"'", 0xDE},
      {";", 0xBA}, {"\\", 0xDC}, {",", 0xBC}, {"/", 0xBF}, {".", 0xBE}, {"Tab", 0x09},
      {"Space", 0x20}, {"`", 0xC0}, {"Backspace", 0x08}, {"Escape", 0x1B}, {"Keypad .", 0x6E},
      {"Keypad *", 0x6A}, {"Keypad +", 0x6B}, {"Numlock", 0x90}, {"Keypad /", 0x6F},
      {"Keypad Enter", 0x0D}, {"Keypad -", 0x6D}, {"Keypad =", 0xBB}, {"Keypad 0", 0x60},
      {"Keypad 7", 0x67}, {"Keypad 8", 0x68}, {"Keypad 9", 0x69}, {"F1", 0x70}, {"F12", 0x7B},
      {"F13", 0x2C}, {"F14", 0x91}, {"F15", 0x13}, {"Help", 0x2D}, {"Insert", 0x2D},
      {"Home", 0x24}, {"PageUp", 0x21}, {"Delete", 0x2E}, {"End", 0x23}, {"PageDown", 0x22},
      {"Left", 0x25}, {"Right", 0x27}, {"Down", 0x28}, {"Up", 0x26}, {"Left Shift", 0x10},
      {"Left Ctrl", 0x11}, {"Left Alt", 0x12}, {"CapsLock", 0x14},
      // Keys without a code.
      {"0x64", 0}, {"Right Shift", 0}, {"Right Ctrl", 0}, {"Right Alt", 0}, {"Left GUI", 0},
      {"F16", 0}, {"VolumeUp", 0}, {"Mute", 0},
  };
  // clang-format on

  for (const Row& row : rows) {
    auto scancode = host::ScancodeFromName(row.name);
    ASSERT_TRUE(scancode) << row.name;
    EXPECT_EQ(host::KeyCode(*scancode), row.code) << row.name;
  }
  for (char c = 'A'; c <= 'Z'; ++c)
    EXPECT_EQ(host::KeyCode(*host::ScancodeFromName(std::string(1, c))), uint32_t(c));
  for (int d = 1; d <= 10; ++d) {  // the names run 1 .. 9, 0
    std::string digit(1, static_cast<char>('0' + d % 10));
    EXPECT_EQ(host::KeyCode(*host::ScancodeFromName(digit)), uint32_t('0' + d % 10));
    EXPECT_EQ(host::KeyCode(*host::ScancodeFromName("Keypad " + digit)), 0x60u + d % 10);
  }
}

TEST(Keys, PressesPostTheCodeAndTheLayoutsText) {
  Input t;
  EXPECT_EQ(t.Key(EventType::kKeyDown, "A", "a"),
            (std::vector<Message>{{12, 0x41, 1, 0}, Text(0x61)}));
  EXPECT_EQ(t.Key(EventType::kKeyUp, "A"), (std::vector<Message>{{13, 0x41, 1, 0}}));
  // A German layout's Z position: the code stays that of the US key, the text follows the layout.
  EXPECT_EQ(t.Key(EventType::kKeyDown, "Y", "z"),
            (std::vector<Message>{{12, 0x59, 1, 0}, Text(0x7A)}));
  // Keys that type nothing here get their control character; the keypad types its character.
  EXPECT_EQ(t.Key(EventType::kKeyDown, "Return"),
            (std::vector<Message>{{12, 0x0D, 1, 0}, Text(0x0D)}));
  EXPECT_EQ(t.Key(EventType::kKeyDown, "Keypad Enter")[1], Text(0x03));
  EXPECT_EQ(t.Key(EventType::kKeyDown, "Left")[1], Text(0x1C));
  EXPECT_EQ(t.Key(EventType::kKeyDown, "F7")[1], Text(0x10));
  EXPECT_EQ(t.Key(EventType::kKeyDown, "Insert")[1], Text(0x05));
  EXPECT_EQ(t.Key(EventType::kKeyDown, "Keypad 8")[1], Text('8'));
  // With Ctrl (the program's Command) a letter that typed nothing types itself.
  EXPECT_EQ(t.Key(EventType::kKeyDown, "C", "", platform::kModCtrl),
            (std::vector<Message>{{12, 0x43, 1, 0}, Text('c')}));
  // A long text: its first 8 bytes, but never half a character (the ninth byte starts an e).
  EXPECT_EQ(t.Key(EventType::kKeyDown, "E", "abcdefg\xC3\xA9")[1], Text(0x64636261, 0x00676665));
  EXPECT_EQ(t.Key(EventType::kKeyDown, "E", "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC")[1],
            Text(0xE2AC82E2, 0x0000AC82));
}

TEST(Keys, DeadKeysAndTextsWithoutAKey) {
  Input t;
  // A dead key posts nothing, nor does its release; the next key brings the composed letter.
  EXPECT_TRUE(t.Key(EventType::kKeyDown, "[").empty());
  EXPECT_TRUE(t.Key(EventType::kKeyUp, "[").empty());
  EXPECT_EQ(t.Key(EventType::kKeyDown, "E", "\xC3\xA9"),
            (std::vector<Message>{{12, 0x45, 1, 0}, Text(0xA9C3)}));
  // Once it types again the same key is released as usual.
  t.Key(EventType::kKeyDown, "[", "[");
  EXPECT_EQ(t.Key(EventType::kKeyUp, "["), (std::vector<Message>{{13, 0xDB, 1, 0}}));
  // Text without a key: one press of key 0 per character, so nothing is cut off.
  Event e;
  e.type = EventType::kText;
  e.text = "\xE6\x97\xA5\xE6\x9C\xAC!";
  host::HandleInputEvent(t.host, e);
  EXPECT_EQ(
      t.Sent(),
      (std::vector<Message>{
          {12, 0, 1, 0}, Text(0xA597E6), {12, 0, 1, 0}, Text(0xAC9CE6), {12, 0, 1, 0}, Text('!')}));
}

TEST(Modifiers, EachChangeOfShiftCtrlOrAltPostsOnce) {
  Input t;
  using platform::kModAlt, platform::kModCaps, platform::kModCtrl, platform::kModGui,
      platform::kModShift;
  struct Step {
    EventType type;
    const char* key;
    uint16_t after;  // the modifiers after the event
    std::vector<Message> sent;
    uint32_t state;
  };
  const Step steps[] = {
      {EventType::kKeyDown, "Left Shift", kModShift, {{12, 16, 0, 0}}, 4},
      {EventType::kKeyDown, "Right Shift", kModShift, {}, 4},  // both held: no change
      {EventType::kKeyUp, "Left Shift", kModShift, {}, 4},
      {EventType::kKeyDown, "Right Ctrl", kModShift | kModCtrl, {{12, 17, 0, 0}}, 12},
      {EventType::kKeyDown, "Right Alt", kModShift | kModCtrl | kModAlt, {{12, 18, 0, 0}}, 0x800C},
      {EventType::kKeyDown, "Left GUI", kModShift | kModCtrl | kModAlt | kModGui, {}, 0x800C},
      {EventType::kKeyDown, "CapsLock", kModShift | kModCtrl | kModAlt | kModCaps, {}, 0x800C},
      // A change of two at once posts both, Shift first.
      {EventType::kKeyUp, "Right Shift", kModAlt, {{13, 16, 0, 0}, {13, 17, 0, 0}}, 0x8000},
      {EventType::kKeyUp, "Right Alt", 0, {{13, 18, 0, 0}}, 0},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.key);
    EXPECT_EQ(t.Key(s.type, s.key, "", s.after), s.sent);
    EXPECT_EQ(t.host.shell.input.buttons, s.state);
  }
  // Coming back to the window releases a Control held when the user switched away.
  t.Key(EventType::kKeyDown, "Left Ctrl", "", kModCtrl);
  host::Activate(t.host);
  EXPECT_EQ(t.Sent(), (std::vector<Message>{{13, 17, 0, 0}}));
  EXPECT_EQ(t.host.shell.input.buttons, 0u);
  host::Activate(t.host);
  EXPECT_TRUE(t.Sent().empty());
}

TEST(Buttons, CodesBitsAndPositions) {
  struct Row {
    int number;
    uint32_t code, bit;
  };
  const Row rows[] = {{1, 1, 1},       {3, 2, 2},       {2, 4, 16},
                      {4, 0x8001, 32}, {5, 0x8002, 64}, {9, 0x8002, 64}};
  for (const Row& r : rows) {
    Input t;
    uint32_t at = 580u << 16 | 10;
    EXPECT_EQ(t.Mouse(EventType::kButtonDown, 10.7, 580.2, r.number),
              (std::vector<Message>{{12, r.code, r.bit, at}}));
    EXPECT_EQ(t.Mouse(EventType::kButtonUp, 10.7, 580.2, r.number),
              (std::vector<Message>{{13, r.code, 0, at}, {15, 10, 580, 0}}));
  }
  // Dragging outside the view: each half of the packed position keeps its own value.
  Input t;
  EXPECT_EQ(t.Mouse(EventType::kButtonDown, -3.9, 7, 1)[0].p3, 7u << 16 | 0xFFFD);
  EXPECT_EQ(t.Mouse(EventType::kButtonUp, 5, -2, 1)[1], (Message{15, 5, 0xFFFFFFFE, 0}));
}

TEST(Motion, PostedOnlyWhileNothingWaits) {
  Input t;
  t.Mouse(EventType::kButtonDown, 1, 1, 3);
  EXPECT_EQ(t.Mouse(EventType::kMotion, 30.9, 40.1), (std::vector<Message>{{15, 30, 40, 2}}));
  vm::PostMsg(t.host, {11, 0, 0, 0});  // a tick waits
  EXPECT_EQ(t.Mouse(EventType::kMotion, 31, 41), (std::vector<Message>{{11, 0, 0, 0}}));
  t.host.machine.in_qx = true;  // a message runs
  t.Mouse(EventType::kMotion, 32, 42);
  EXPECT_TRUE(t.Sent().empty());
}

TEST(Wheel, TenStepsPerUnitAtMostSevenPerAxis) {
  struct Row {
    double dx, dy;
    bool flipped;
    std::vector<Message> sent;
  };
  const uint32_t at = 5u << 16 | 4, up = 1, down = 0xFFFFFFFF;
  const Message v_down{12, 0x8003, down, at}, v_up{12, 0x8003, up, at}, h_up{12, 0x8004, up, at};
  const Row rows[] = {
      {0, -2.35, false, std::vector<Message>(7, v_down)},  // -23 steps
      {0, 0.05, false, {}},
      {0, 0.3, false, {v_up, v_up, v_up}},
      {0, 0.3, true, {v_down, v_down, v_down}},  // the desktop flipped the deltas
      {0.1, -0.1, false, {v_down, h_up}},        // vertical first
      {0, 1e300, false, std::vector<Message>(7, v_up)},
  };
  for (const Row& r : rows) {
    Input t;
    t.Mouse(EventType::kMotion, 4, 5);
    t.Sent();
    Event e;
    e.type = EventType::kWheel;
    e.dx = r.dx;
    e.dy = r.dy;
    e.flipped = r.flipped;
    host::HandleInputEvent(t.host, e);
    EXPECT_EQ(t.Sent(), r.sent) << r.dx << " " << r.dy;
  }
}

}  // namespace
}  // namespace orva::test
