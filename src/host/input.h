// Input translation: keys, text, buttons, motion and the wheel, from the platform's events to the
// program's messages 12 to 15, with the button state they carry.
//
// Keys. A key press posts (12, key code, 1, 0) and then (14, text bytes 0-3, text bytes 4-7, 0)
// with the text its layout gave; a key that gives no text on this desktop gets the control
// character it has on the program's home platform (FallbackText), and with Ctrl held (which
// plays Command) a key gets its US-layout text. A press that still has no text is a dead key: it
// posts nothing, and neither does its release. A release posts (13, key code, 1, 0).
//
// Modifiers. Shift, Ctrl and Alt (AltGr included) are not keys to the program: a change of their
// combined state posts (12 or 13, 16 / 17 / 18, 0, 0) for each one that changed and keeps bits
// 4, 8 and 0x8000 of the button state. Ctrl stands for the program's Command key, reported as
// Control. The Windows keys and Caps Lock post nothing.
//
// Mouse. Positions are view pixels from the top-left corner, truncated toward zero, packed as
// (y << 16) | x with each half cut to 16 bits. Motion is posted only while the machine is idle
// and no message waits, so it never piles up in the ring.
#pragma once

#include <cstdint>

namespace orva {
struct Host;
}
namespace orva::platform {
struct Event;
}

namespace orva::host {

// Button codes (p1 of messages 12 and 13) and their bits in the button state.
inline constexpr uint32_t kButtonLeft = 1, kButtonRight = 2, kButtonMiddle = 4;
inline constexpr uint32_t kButtonX1 = 0x8001, kButtonOther = 0x8002;
inline constexpr uint32_t kWheelVertical = 0x8003, kWheelHorizontal = 0x8004;
inline constexpr uint32_t kHeldLeft = 1, kHeldRight = 2, kHeldShift = 4, kHeldControl = 8;
inline constexpr uint32_t kHeldMiddle = 16, kHeldX1 = 32, kHeldOther = 64, kHeldOption = 0x8000;
// Key codes of the modifier messages.
inline constexpr uint32_t kKeyShift = 16, kKeyControl = 17, kKeyOption = 18;
inline constexpr int kMaxWheelSteps = 7;  // per axis and event

// Posts the messages an input event gives (key, text, button, motion or wheel); other events
// are ignored.
void HandleInputEvent(Host&, const platform::Event&);

// The window gained the focus: a Control held when the user switched away is released for the
// program (bit 8 cleared, (13, 17, 0, 0) posted).
void Activate(Host&);

}  // namespace orva::host
