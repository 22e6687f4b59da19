// DrawText: choosing the string, drawing it into the text scratch bitmap and copying it to its
// place, as docs/graphics.md describes step by step.
#include "graphics/text.h"

#include <algorithm>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/host.h"
#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/text_engine.h"
#include "graphics/utf8.h"

namespace orva::graphics {

namespace {

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool Contains(const Box& outer, const Box& inner) {
  return inner.empty() || (inner.left >= outer.left && inner.top >= outer.top &&
                           inner.right <= outer.right && inner.bottom <= outer.bottom);
}

// The scratch bitmap as the text drawing sees it: cut to its bounds, not to its clip rectangle.
Surface ScratchSurface(const HostBitmap& scratch) {
  Surface s = scratch.surface();
  s.clip = {0, 0, scratch.width, scratch.height};
  return s;
}

// The measured widths of prefixes of one line: each prefix is shaped on its own, as the string
// it stands for would be. Choosing and drawing the string ask for the same few again, so the
// last ones are kept (in the engine's buffers, which keep their memory from call to call).
class Prefixes {
 public:
  Prefixes(TextEngine& e, Font& font, std::u32string_view chars)
      : e_(e), font_(font), chars_(chars) {
    for (PrefixLine& p : e_.prefixes) p.count = SIZE_MAX;
  }

  // The first `count` characters, shaped.
  const ShapedLine& Get(size_t count) {
    for (PrefixLine& p : e_.prefixes) {
      if (p.count == count) return p.line;
    }
    PrefixLine& p = e_.prefixes[next_++ % e_.prefixes.size()];
    p.count = count;
    p.line.glyphs.clear();
    p.line.width = 0;
    e_.shaper.Shape(font_, chars_.substr(0, count), p.line);
    return p.line;
  }
  int64_t Width(size_t count) { return Get(count).width; }

 private:
  TextEngine& e_;
  Font& font_;
  std::u32string_view chars_;
  size_t next_ = 0;
};

// The index of the first character at which the growing string becomes wider than w64 (1/64
// pixel), or n when the whole line fits.
//
// The growing string is measured once per character in principle; here prefixes of 64, 256,
// 1024, ... characters are shaped until one is too wide, the character where it passes w64 is
// found from the advances of that one shaped run, and the answer is confirmed by measuring the
// string up to it and up to the character before on their own (walking on if kerning or
// shaping at the cut made them differ). Only the part of a long text that the box can hold is
// ever shaped.
size_t FirstOverflow(Prefixes& prefixes, size_t n, int64_t w64) {
  if (n == 0) return 0;  // no character to overflow, even in a box of negative width
  size_t len = std::min<size_t>(n, 64);
  while (prefixes.Width(len) <= w64) {
    if (len == n) return n;
    len = std::min(n, len * 4);
  }
  const ShapedLine& run = prefixes.Get(len);
  std::vector<int64_t> advance(len, 0);
  for (const ShapedGlyph& g : run.glyphs) advance[g.cluster] += g.advance;
  size_t i = len - 1;
  int64_t sum = 0;
  for (size_t k = 0; k < len; ++k) {
    sum += advance[k];
    if (sum > w64) {
      i = k;
      break;
    }
  }
  if (prefixes.Width(i + 1) <= w64) {
    do ++i;
    while (i + 1 < len && prefixes.Width(i + 1) <= w64);
  } else {
    while (i > 0 && prefixes.Width(i) > w64) --i;
  }
  return i;
}

// The string to draw (its first `length` characters) and the characters used, `used`.
struct Choice {
  bool draw = true;  // false: the line cannot hold what cutting asks for; the call answers 0
  size_t length = 0;
  size_t used = 0;
};

Choice ChooseString(Prefixes& prefixes, std::u32string_view chars, int64_t w64, uint32_t flags) {
  const size_t n = chars.size();
  if (!(flags & (kTextCutChar | kTextCutSpace))) return {true, n, n};
  const size_t i = FirstOverflow(prefixes, n, w64);
  if (i == n) return {true, n, n};
  if (i == 0) return {false};
  if (flags & kTextCutSpace) {
    size_t space = i + 1;  // the last space up to and including character i; i + 1: none
    for (size_t k = i + 1; k-- > 0;) {
      if (chars[k] == U' ') {
        space = k;
        break;
      }
    }
    const bool found = space <= i;
    if ((found && space >= 1) || !(flags & kTextCutChar)) {
      const size_t used = found ? space : 0;
      if (used == 0 && chars[0] == U' ') return {false};  // nothing but a space would be left
      return {true, used + 1, used};
    }
  }
  return {true, i, i};
}

// Row of the baseline, counted from the top of a scratch bitmap `scratch_h` rows high: the line
// is placed at trunc(SH - th - desc) from the bottom, so that its top th rows hold it.
int64_t Baseline(int32_t scratch_h, const Font& font) {
  const int64_t em = font.units_per_em();
  const int64_t from_bottom =
      (int64_t{scratch_h} * em - font.line_height_scaled() - font.descender_scaled()) / em;
  return scratch_h - from_bottom;
}

}  // namespace

void SetScratchAlpha(Host& host, int32_t x, int32_t y, int32_t w, int32_t h) {
  const Surface s = ScratchSurface(host.gfx.scratch);
  if (!s.drawable()) return;
  const Box area = BoxOf(x, y, w, h).Intersect(s.bounds());
  if (area.empty()) return;
  const auto n = static_cast<size_t>(area.width());
  for (int64_t row = area.top; row < area.bottom; ++row) {
    uint8_t* p = s.At(area.left, row);
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i opaque = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
    for (; i + 4 <= n; i += 4) {
      auto* q = reinterpret_cast<__m128i*>(p + i * kBytesPerPixel);
      _mm_storeu_si128(q, _mm_or_si128(_mm_loadu_si128(q), opaque));
    }
#endif
    for (; i < n; ++i) p[i * kBytesPerPixel + 3] = 255;
  }
}

uint32_t DrawText(Host& host, uint32_t hbm, std::string_view text, int32_t x, int32_t y, int32_t w,
                  int32_t h, uint32_t flags, uint32_t background, uint32_t colour) {
  const HostBitmap& scratch = host.gfx.scratch;
  text = text.substr(0, text.find('\0'));
  // A negative height has no font size; it draws nothing, as 0 does.
  if (w == 0 || h <= 0 || text.empty() || !scratch.pixels) return 0;
  w = std::min(w, scratch.width);
  h = std::min(h, scratch.height);
  Font* font = FontFor(host, h, flags);
  if (!font) return 0;
  TextEngine& e = *host.gfx.text.engine;
  std::u32string& chars = e.chars;
  if (!DecodeUtf8(text, chars, kMaxLineChars)) chars.clear();
  const Surface surface = ScratchSurface(scratch);

  Prefixes prefixes(e, *font, chars);
  const Choice choice = ChooseString(prefixes, chars, int64_t{w} * 64, flags);
  const ShapedLine& line = prefixes.Get(choice.draw ? choice.length : 0);
  const int64_t baseline = Baseline(scratch.height, *font);
  const Pixel ink = StandardMapping(colour);
  const bool underline = flags & kTextUnderline;

  // When an opaque second background will fill the whole box, what the first background and
  // the first drawing put inside the box is overwritten unseen: only what lies outside it is
  // done. (Choosing the string touches no pixels, so it may come first.)
  const Box box{0, 0, w, h};
  const bool refilled = e.skip_hidden && choice.draw && !(flags & kTextMeasure) &&
                        background >= 0xFF000000 && w > 0 &&
                        scratch.clip.box().Intersect(box).width() == w &&
                        scratch.clip.box().Intersect(box).height() == h;

  // The first background: the box's own colour (read with bits 0-7 as p0), opaque, or a copy
  // of what the destination shows in the box.
  if (background != 0xFFFFFFFF) {
    const int64_t fill_w = (flags & kTextOblique) ? std::min<int64_t>(int64_t{h} + w, 2048) : w;
    Pixel fill = DirectMapping(background);
    fill.p3 = 255;
    FillBox(surface, Box{refilled ? w : 0, 0, fill_w, h}, ColourBlend(fill));
  } else if (!refilled) {
    Blit(host, kTextScratch, 0, 0, hbm, x, y, w, h, false, 0, 0);
  }
  if (!choice.draw) return 0;
  // Counted now, from the text as it was when the call began: the copy below may draw over it.
  const size_t bytes = Utf8ByteCount(text, choice.used);
  if (!refilled || !Contains(box, InkBounds(e.glyphs, surface, line, *font, baseline, underline))) {
    DrawShapedLine(e.glyphs, surface, line, *font, baseline, ink, underline);
  }

  int64_t tw = line.width / 64;
  if (choice.used != 0 && (flags & kTextOblique)) tw += h / 6;
  const int32_t drawn = Clamp32(tw);

  if (!(flags & kTextMeasure)) {
    const int64_t dx = (flags & kTextCentre)  ? x + (int64_t{w} - tw) / 2
                       : (flags & kTextRight) ? int64_t{x} + w - tw
                                              : x;
    const bool left = !(flags & (kTextCentre | kTextRight));
    const int32_t copy_w = left ? std::min(w, drawn) : drawn;
    const int32_t X = Clamp32(dx);
    // The second background: an opaque colour fills the box, and as far as the copy reaches
    // beyond it (a centred or right-aligned line wider than the box), so that no pixels of an
    // earlier line show there; otherwise the destination's own pixels under the line's final
    // place become its background.
    if (background >= 0xFF000000) {
      DrawRectangle(host, kTextScratch, 0, 0, std::max(w, copy_w), h, background, 0);
    } else {
      Blit(host, kTextScratch, 0, 0, hbm, X, y, drawn, h, false, 0, 0);
    }
    DrawShapedLine(e.glyphs, surface, line, *font, baseline, ink, underline);
    // After an opaque refill the box is opaque already: only what lies beyond it is set.
    const int32_t opaque_w = refilled ? w : 0;
    if (copy_w > opaque_w) SetScratchAlpha(host, opaque_w, 0, copy_w - opaque_w, h);
    Blit(host, hbm, X, y, kTextScratch, 0, 0, copy_w, h, false, 0, 0);
  }
  return (static_cast<uint32_t>(drawn) << 16) + static_cast<uint32_t>(bytes);
}

std::optional<TextMetrics> MeasureText(Host& host, std::string_view text, int32_t h,
                                       uint32_t flags) {
  Font* font = h > 0 ? FontFor(host, h, flags) : nullptr;
  if (!font) return std::nullopt;
  TextEngine& e = *host.gfx.text.engine;
  if (!DecodeUtf8(text.substr(0, text.find('\0')), e.chars, kMaxLineChars)) return std::nullopt;
  ShapedLine line;
  e.shaper.Shape(*font, e.chars, line);
  return TextMetrics{
      font->size(), line.width,
      static_cast<double>(font->line_height_scaled()) / static_cast<double>(font->units_per_em())};
}

}  // namespace orva::graphics
