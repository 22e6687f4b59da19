// Text: one line of UTF-8 in one of the twelve named fonts, fitted to a box's height, cut to
// its width at a space or a character, aligned in it, drawn through the text scratch bitmap.
// See docs/graphics.md for the measured size of a line, on which every rule here rests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "graphics/text_state.h"

namespace orva {
struct Host;
}

namespace orva::graphics {

// Flags of DrawText (graphics command 16). Other bits have no effect.
inline constexpr uint32_t kTextCentre = 1u << 17;
inline constexpr uint32_t kTextRight = 1u << 18;  // when not centred
inline constexpr uint32_t kTextCourier = 1u << 21;
inline constexpr uint32_t kTextBold = 1u << 22;
inline constexpr uint32_t kTextTimes = 1u << 24;    // when not Courier; neither: Helvetica
inline constexpr uint32_t kTextOblique = 1u << 27;  // italic for Times; widens the result by h / 6
inline constexpr uint32_t kTextUnderline = 1u << 28;
inline constexpr uint32_t kTextCutChar = 1u << 29;   // too wide: cut after the last character
inline constexpr uint32_t kTextCutSpace = 1u << 30;  // too wide: cut at the last space
inline constexpr uint32_t kTextMeasure = 1u << 31;   // compute everything, draw nothing
// The bits that choose a font in the font cache.
inline constexpr uint32_t kFontKeyMask = 0x19600000;

// A line longer than this many characters is taken as its first this many.
inline constexpr size_t kMaxLineChars = size_t{1} << 20;

// Draws `text` (its bytes up to the first 0, if any) into bitmap `hbm` in the box (x, y, w, h)
// and returns the drawn width << 16 plus the number of bytes of the text it used. Text that is
// not valid UTF-8 is the empty string. Any input is safe: this is the entry point for fuzzing.
uint32_t DrawText(Host&, uint32_t hbm, std::string_view text, int32_t x, int32_t y, int32_t w,
                  int32_t h, uint32_t flags, uint32_t background, uint32_t colour);

// Sets p3 = 255 in the rectangle of the text scratch bitmap, cut to its size.
void SetScratchAlpha(Host&, int32_t x, int32_t y, int32_t w, int32_t h);

// The largest font size at which `s` measures strictly less than max_w wide and max_h high,
// searched upward from size0 + 1 while it fits and downward otherwise, never below 4 (unless
// size0 is below 4). Sizes stay below 65535. Null when size0 is not positive or the system
// has no font. `width` receives the measured width of `s` (1/64 pixel) at that size.
struct TextEngine;
FontPtr FitFont(TextEngine&, std::u32string_view s, int32_t max_w, int32_t size0, uint32_t flags,
                int64_t* width = nullptr);

// The font cache lookup of DrawText: the font for box height h and the flags' style bits,
// fitted on first use. Null when no font can be made.
Font* FontFor(Host&, int32_t h, uint32_t flags);
// Empties the font cache (at start-up, with the screen).
void ClearFontCache(TextState&);

// A line as DrawText measures it in a box of height h: the font size it is drawn at, its width
// (1/64 pixel) and the font's line height (pixels). Nothing for invalid text or without fonts.
struct TextMetrics {
  int32_t size;
  int64_t width;
  double line_height;
};
std::optional<TextMetrics> MeasureText(Host&, std::string_view text, int32_t h, uint32_t flags);

}  // namespace orva::graphics
