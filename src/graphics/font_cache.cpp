// Fitting fonts to box heights, and the 100-slot cache of fitted fonts.
#include <algorithm>

#include "core/host.h"
#include "graphics/text.h"
#include "graphics/text_engine.h"

namespace orva::graphics {

namespace {

// The sample that sizes a box's font: a tall accented capital and a letter with a descender.
constexpr std::u32string_view kSample = U"\u040Dy";
constexpr int32_t kSampleWidth = 2048;
// No search goes beyond this size, whatever a font's metrics say.
constexpr int32_t kMaxFontSize = 65535;

void Unlink(TextState& t, int32_t i) {
  FontCacheSlot& s = t.slots[i];
  if (s.prev >= 0)
    t.slots[s.prev].next = s.next;
  else
    t.head = s.next;
  if (s.next >= 0) t.slots[s.next].prev = s.prev;
  s.prev = s.next = -1;
}

void LinkAtHead(TextState& t, int32_t i) {
  FontCacheSlot& s = t.slots[i];
  s.prev = -1;
  s.next = t.head;
  if (t.head >= 0) t.slots[t.head].prev = i;
  t.head = i;
}

}  // namespace

void FontRelease::operator()(Font* font) const { delete font; }
void TextEngineRelease::operator()(TextEngine* engine) const { delete engine; }

TextEngine* Engine(TextState& t) {
  if (t.engine || t.unavailable) return t.engine.get();
  t.engine.reset(new TextEngine);
  if (!t.engine->fonts.ok() || !t.engine->fonts.Primary(0)) {
    t.engine.reset();
    t.unavailable = true;
  }
  return t.engine.get();
}

FontPtr FitFont(TextEngine& e, std::u32string_view s, int32_t max_w, int32_t size0, uint32_t flags,
                int64_t* width) {
  const int style = StyleIndex(flags);
  if (size0 < 1 || !e.fonts.Primary(style)) return nullptr;
  size0 = std::min(size0, kMaxFontSize - 1);
  const int64_t max_w64 = int64_t{max_w} * 64;
  FontPtr font;
  ShapedLine line;
  int64_t sw = 0;
  auto measure = [&](int32_t size) {
    font.reset(new Font(e.fonts, style, size));
    line.glyphs.clear();
    line.width = 0;
    e.shaper.Shape(*font, s, line);
    sw = line.width;
  };
  // The measured height is the line height, compared exactly: line_height * size / em < max_h.
  // An empty string measures 0 x 0.
  auto fits_height = [&] {
    return s.empty() || font->line_height_scaled() < int64_t{size0} * font->units_per_em();
  };

  int32_t size = size0;
  for (;;) {
    ++size;
    measure(size);
    if (s.empty() || sw >= max_w64 || !fits_height() || size >= kMaxFontSize) break;
  }
  for (;;) {
    const int32_t prev = size;
    --size;
    measure(size);
    if (prev < 6) break;  // the smallest size tried is 4
    if (sw < max_w64 && fits_height()) break;
  }
  if (width) *width = sw;
  return font;
}

Font* FontFor(Host& host, int32_t h, uint32_t flags) {
  TextState& t = host.gfx.text;
  TextEngine* e = Engine(t);
  if (!e) return nullptr;
  const uint32_t key = flags & kFontKeyMask;
  int32_t last = -1, walked = 0;
  for (int32_t i = t.head; i >= 0; i = t.slots[i].next) {
    FontCacheSlot& s = t.slots[i];
    if (s.height == h && s.key == key) {
      Unlink(t, i);
      LinkAtHead(t, i);
      return s.font.get();
    }
    last = i;
    ++walked;
  }
  int32_t slot;
  if (walked >= kFontCacheSlots) {
    slot = last;  // the least recently used
    Unlink(t, slot);
    t.slots[slot].font.reset();
    t.slots[slot].height = -1;
  } else {
    slot = 0;
    while (t.slots[slot].height != -1) ++slot;
  }
  FontPtr font = FitFont(*e, kSample, kSampleWidth, h, flags);
  if (!font) return nullptr;
  FontCacheSlot& s = t.slots[slot];
  s.font = std::move(font);
  s.height = h;
  s.key = key;
  LinkAtHead(t, slot);
  return s.font.get();
}

void ClearFontCache(TextState& t) {
  for (FontCacheSlot& s : t.slots) s = FontCacheSlot{};
  t.head = -1;
}

}  // namespace orva::graphics
