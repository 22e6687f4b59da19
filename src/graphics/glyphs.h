// Rasterised glyphs and drawing a shaped line with them. FreeType renders each glyph once per
// font size and quarter-pixel horizontal position as 8-bit coverage; the cache keeps the most
// recently used ones within a memory bound (when it is reached, the less recently used half
// goes). Drawing blends the coverage in the text colour onto
// the pixels as a premultiplied "over": a fully covered pixel takes exactly the colour.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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
  size_t count() const { return entries_.size(); }

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
    GlyphImage image;
    uint64_t used;  // the clock at its latest use
  };
  static constexpr size_t kRecent = 256;

  static void Render(Face&, uint32_t id, int32_t size, int phase, GlyphImage& out);
  static size_t Cost(const GlyphImage& image) { return image.coverage.size() + 96; }
  void Evict();

  size_t limit_;
  size_t bytes_ = 0;
  uint64_t clock_ = 0;
  std::unordered_map<Key, Entry, Hash> entries_;  // nodes: entries never move while kept
  // A direct-mapped memo of recent lookups in front of the map, emptied whenever it evicts.
  struct Recent {
    Key key;
    Entry* entry;
  };
  std::array<Recent, kRecent> recent_{};
  GlyphImage oversized_;  // a glyph too large to keep, rendered for one use
};

// Blends `n` pixels at `p` with the coverage bytes `coverage` of the opaque `colour`: the
// premultiplied "over" of Cover in glyphs.cpp, four pixels at a time where the machine allows.
void CoverRow(uint8_t* p, const uint8_t* coverage, size_t n, Pixel colour);

// Draws `line` with its pen starting at x 0 and its baseline between rows baseline - 1 and
// baseline, in `colour` (opaque), into `dst`, cut to the bitmap (not to its clip rectangle).
// With `underline`, a stroke at the primary face's underline position runs under the whole
// width of the line.
void DrawShapedLine(GlyphCache&, const Surface& dst, const ShapedLine& line, const Font& font,
                    int64_t baseline, Pixel colour, bool underline);

// The smallest box holding every pixel that DrawShapedLine would draw on `dst` with the same
// arguments (empty when it would draw none).
Box InkBounds(GlyphCache&, const Surface& dst, const ShapedLine& line, const Font& font,
              int64_t baseline, bool underline);

}  // namespace orva::graphics
