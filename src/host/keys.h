// Key positions and what they mean to the program. A key position is a USB HID usage code of the
// keyboard page, the number the platform's key events carry; it names a place on the keyboard,
// not a character, so the program gets the same key codes whatever layout the user has. Only the
// text of a key press follows the layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orva::host {

// Key positions are below this limit.
inline constexpr uint16_t kScancodeLimit = 512;

// Key positions the input code names.
inline constexpr uint16_t kScanA = 4, kScanZ = 29, kScan1 = 30, kScan0 = 39;
inline constexpr uint16_t kScanCapsLock = 57, kScanNumLock = 83;
inline constexpr uint16_t kScanKeypadDivide = 84, kScanKeypadPeriod = 99;
inline constexpr uint16_t kScanKeypadEquals = 103;
inline constexpr uint16_t kScanLeftCtrl = 224, kScanLeftShift = 225, kScanLeftAlt = 226;
inline constexpr uint16_t kScanLeftGui = 227, kScanRightCtrl = 228, kScanRightShift = 229;
inline constexpr uint16_t kScanRightAlt = 230, kScanRightGui = 231;

// The key code the program sees for the key at `scancode`: the code the same key has on a US
// keyboard, 0 for keys without one.
uint32_t KeyCode(uint16_t scancode);

// Shift, Ctrl, Alt (AltGr included), the Windows keys and Caps Lock: keys that only change the
// modifier state and are never reported as keys themselves.
bool IsModifierKey(uint16_t scancode);

// The text a key press gets when the layout gave it none: the control character of an editing,
// function or navigation key, or the character of a keypad key (the keypad types the same with
// Num Lock off, as it has no Num Lock state on the program's home platform). Empty for any other
// key: such a press with no text is a dead key.
std::string FallbackText(uint16_t scancode);

// The text the key types on a US layout with `modifiers` (platform::kMod*): Shift and Caps Lock
// are honoured, Ctrl and Alt ignored. Empty for keys that type nothing there.
std::string UsLayoutText(uint16_t scancode, uint16_t modifiers);

// The key's name in event scripts ("A", "Return", "Left Shift", "Keypad 8"); empty when it has
// none. Names are those the desktop back end's library gives the same key positions.
std::string_view ScancodeName(uint16_t scancode);

// The key position named `name`, case-insensitively; also "0x" and a hexadecimal number for a
// key without a name.
std::optional<uint16_t> ScancodeFromName(std::string_view name);

}  // namespace orva::host
