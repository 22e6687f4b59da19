// State of text drawing: the cache of fitted fonts, and the engine (system fonts, shaping,
// rasterised glyphs) that is made the first time text is drawn.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace orva::graphics {

class Font;
struct TextEngine;
struct FontRelease {
  void operator()(Font*) const;
};
struct TextEngineRelease {
  void operator()(TextEngine*) const;
};
using FontPtr = std::unique_ptr<Font, FontRelease>;

// The font cache: 100 slots of fonts fitted to a box height and a style. The used slots form a
// doubly linked list from the most to the least recently used, starting at `head` (-1: empty).
inline constexpr int32_t kFontCacheSlots = 100;
struct FontCacheSlot {
  int32_t height = -1;  // the box height the font was fitted to; -1 marks a free slot
  uint32_t key = 0;     // the flags' style bits (21, 22, 24, 27, 28)
  int32_t prev = -1, next = -1;
  FontPtr font;
};

struct TextState {
  // Declared first, so destroyed last: the fonts below use its faces.
  std::unique_ptr<TextEngine, TextEngineRelease> engine;
  bool unavailable = false;  // the engine could not start (no fonts): text draws nothing
  std::array<FontCacheSlot, kFontCacheSlots> slots;
  int32_t head = -1;
};

}  // namespace orva::graphics
