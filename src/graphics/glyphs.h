// Rasterised glyphs and drawing a shaped line with them. FreeType renders each glyph once per
// font size and quarter-pixel horizontal position as 8-bit coverage; the cache keeps the most
// recently used ones within a memory bound. Drawing blends the coverage in the text colour onto
// the pixels as a premultiplied "over": a fully covered pixel takes exactly the colour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

#include "graphics/pixel.h"
#include "graphics/shaping.h"

namespace orva::graphics {

struct GlyphImage {
  int32_t left = 0, top = 0;  // the bitmap's top-left corner from the pen, y up
  int32_t width = 0, rows = 0;
  std::vector<uint8_t> coverage;  // rows top first, `width` bytes each
};

class GlyphCache {
 public:
  explicit GlyphCache(size_t byte_limit) : limit_(byte_limit) {}

  // The glyph `id` of `face` at `size` pixels, its origin `phase` quarter pixels to the right
  // of a whole pixel. Valid until the next call.
  const GlyphImage& Get(Face&, uint32_t id, int32_t size, int phase);

  size_t bytes() const { return bytes_; }
  size_t count() const { return index_.size(); }

 private:
  struct Key {
    const Face* face;
    uint32_t id;
    int32_t size;
    int32_t phase;
    bool operator==(const Key&) const = default;
  };
  struct Hash {
    size_t operator()(const Key& k) const;
  };
  struct Entry {
    Key key;
    GlyphImage image;
  };

  static void Render(Face&, uint32_t id, int32_t size, int phase, GlyphImage& out);

  size_t limit_;
  size_t bytes_ = 0;
  std::list<Entry> lru_;  // most recently used first
  std::unordered_map<Key, std::list<Entry>::iterator, Hash> index_;
  GlyphImage oversized_;  // a glyph too large to keep, rendered for one use
};

// Draws `line` with its pen starting at x 0 and its baseline between rows baseline - 1 and
// baseline, in `colour` (opaque), into `dst`, cut to the bitmap (not to its clip rectangle).
// With `underline`, a stroke at the primary face's underline position runs under the whole
// width of the line.
void DrawShapedLine(GlyphCache&, const Surface& dst, const ShapedLine& line, const Font& font,
                    int64_t baseline, Pixel colour, bool underline);

}  // namespace orva::graphics
