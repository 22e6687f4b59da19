#include "host/keys.h"

#include <array>
#include <utility>

#include "platform/platform.h"

namespace orva::host {

namespace {

// Key codes are the Windows virtual-key codes of the keys: letters and main-block digits their
// ASCII capitals and digits, everything else below. Unlisted positions give 0, among them the
// ISO key left of Z (100), the right-hand Shift, Ctrl and Alt, the Windows keys, F16 and above,
// the volume keys and the Japanese and Korean keys.
constexpr std::pair<uint16_t, uint8_t> kCodes[] = {
    {40, 0x0D},   // Return
    {41, 0x1B},   // Escape
    {42, 0x08},   // Backspace
    {43, 0x09},   // Tab
    {44, 0x20},   // Space
    {45, 0xBD},   // -
    {46, 0xBB},   // =
    {47, 0xDB},   // [
    {48, 0xDD},   // ]
    {49, 0xDC},   // backslash
    {50, 0xDC},   // the same position on ISO keyboards that report it apart
    {51, 0xBA},   // ;
    {52, 0xDE},   // quote
    {53, 0xC0},   // grave accent
    {54, 0xBC},   // comma
    {55, 0xBE},   // full stop
    {56, 0xBF},   // /
    {57, 0x14},   // Caps Lock (never reported as a key)
    {58, 0x70},   // F1 .. F12
    {59, 0x71},   //
    {60, 0x72},   //
    {61, 0x73},   //
    {62, 0x74},   //
    {63, 0x75},   //
    {64, 0x76},   //
    {65, 0x77},   //
    {66, 0x78},   //
    {67, 0x79},   //
    {68, 0x7A},   //
    {69, 0x7B},   //
    {70, 0x2C},   // Print Screen: the position of F13 on extended keyboards
    {71, 0x91},   // Scroll Lock: F14
    {72, 0x13},   // Pause: F15
    {73, 0x2D},   // Insert plays Help
    {74, 0x24},   // Home
    {75, 0x21},   // Page Up
    {76, 0x2E},   // Forward Delete
    {77, 0x23},   // End
    {78, 0x22},   // Page Down
    {79, 0x27},   // Right
    {80, 0x25},   // Left
    {81, 0x28},   // Down
    {82, 0x26},   // Up
    {83, 0x90},   // Num Lock plays the keypad Clear
    {84, 0x6F},   // keypad /
    {85, 0x6A},   // keypad *
    {86, 0x6D},   // keypad -
    {87, 0x6B},   // keypad +
    {88, 0x0D},   // keypad Enter
    {89, 0x61},   // keypad 1 .. 9
    {90, 0x62},   //
    {91, 0x63},   //
    {92, 0x64},   //
    {93, 0x65},   //
    {94, 0x66},   //
    {95, 0x67},   //
    {96, 0x68},   //
    {97, 0x69},   //
    {98, 0x60},   // keypad 0
    {99, 0x6E},   // keypad decimal point
    {103, 0xBB},  // keypad =
    {104, 0x2C},  // F13
    {105, 0x91},  // F14
    {106, 0x13},  // F15
    {117, 0x2D},  // Help
    {224, 0x11},  // left Ctrl, Shift, Alt (never reported as keys)
    {225, 0x10},  //
    {226, 0x12},  //
};

constexpr std::array<uint8_t, 256> BuildCodes() {
  std::array<uint8_t, 256> table{};
  for (uint16_t s = kScanA; s <= kScanZ; ++s) table[s] = static_cast<uint8_t>('A' + (s - kScanA));
  for (uint16_t s = kScan1; s < kScan0; ++s) table[s] = static_cast<uint8_t>('1' + (s - kScan1));
  table[kScan0] = '0';
  for (auto [scancode, code] : kCodes) table[scancode] = code;
  return table;
}

constexpr std::array<uint8_t, 256> kCodeTable = BuildCodes();

// The control characters of the keys that type nothing on this desktop.
constexpr std::pair<uint16_t, std::string_view> kFallback[] = {
    {40, "\x0D"},   // Return
    {88, "\x03"},   // keypad Enter
    {43, "\x09"},   // Tab
    {41, "\x1B"},   // Escape
    {83, "\x1B"},   // Num Lock, the keypad Clear
    {42, "\x08"},   // Backspace
    {76, "\x7F"},   // Forward Delete
    {80, "\x1C"},   // Left
    {79, "\x1D"},   // Right
    {82, "\x1E"},   // Up
    {81, "\x1F"},   // Down
    {74, "\x01"},   // Home
    {77, "\x04"},   // End
    {75, "\x0B"},   // Page Up
    {78, "\x0C"},   // Page Down
    {73, "\x05"},   // Insert, playing Help
    {117, "\x05"},  // Help
};

bool IsFunctionKey(uint16_t s) { return (s >= 58 && s <= 72) || (s >= 104 && s <= 106); }
bool IsKeypadKey(uint16_t s) { return (s >= kScanKeypadDivide && s <= kScanKeypadPeriod); }

// What each key of the main block and the keypad types on a US layout: unshifted, shifted.
constexpr std::pair<char, char> UsChars(uint16_t s) {
  if (s >= kScanA && s <= kScanZ) {
    char c = static_cast<char>('a' + (s - kScanA));
    return {c, static_cast<char>(c - 'a' + 'A')};
  }
  switch (s) {
    case 30: return {'1', '!'};
    case 31: return {'2', '@'};
    case 32: return {'3', '#'};
    case 33: return {'4', '$'};
    case 34: return {'5', '%'};
    case 35: return {'6', '^'};
    case 36: return {'7', '&'};
    case 37: return {'8', '*'};
    case 38: return {'9', '('};
    case 39: return {'0', ')'};
    case 44: return {' ', ' '};
    case 45: return {'-', '_'};
    case 46: return {'=', '+'};
    case 47: return {'[', '{'};
    case 48: return {']', '}'};
    case 49: return {'\\', '|'};
    case 50: return {'\\', '|'};
    case 51: return {';', ':'};
    case 52: return {'\'', '"'};
    case 53: return {'`', '~'};
    case 54: return {',', '<'};
    case 55: return {'.', '>'};
    case 56: return {'/', '?'};
    case 84: return {'/', '/'};
    case 85: return {'*', '*'};
    case 86: return {'-', '-'};
    case 87: return {'+', '+'};
    case 98: return {'0', '0'};
    case 99: return {'.', '.'};
    case 103: return {'=', '='};
    default: break;
  }
  if (s >= 89 && s <= 97) {  // keypad 1 .. 9
    char c = static_cast<char>('1' + (s - 89));
    return {c, c};
  }
  return {0, 0};
}

}  // namespace

uint32_t KeyCode(uint16_t scancode) {
  return scancode < kCodeTable.size() ? kCodeTable[scancode] : 0;
}

bool IsModifierKey(uint16_t scancode) {
  return scancode == kScanCapsLock || (scancode >= kScanLeftCtrl && scancode <= kScanRightGui);
}

std::string FallbackText(uint16_t scancode) {
  if (IsFunctionKey(scancode)) return "\x10";
  for (auto [s, text] : kFallback)
    if (s == scancode) return std::string(text);
  if (IsKeypadKey(scancode) || scancode == kScanKeypadEquals) {
    if (char c = UsChars(scancode).first) return std::string(1, c);
  }
  return {};
}

std::string UsLayoutText(uint16_t scancode, uint16_t modifiers) {
  auto [plain, shifted] = UsChars(scancode);
  if (plain == 0) return {};
  bool shift = (modifiers & platform::kModShift) != 0;
  if (scancode >= kScanA && scancode <= kScanZ && (modifiers & platform::kModCaps)) shift = !shift;
  return std::string(1, shift ? shifted : plain);
}

}  // namespace orva::host
