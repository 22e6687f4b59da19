// Shaping a line of text: the characters are split into runs of one direction (the Unicode
// bidirectional algorithm), one script and one font (the named font, or a fallback font for
// characters it lacks); HarfBuzz shapes each run with the font's own tables (kerning,
// ligatures, marks), and the runs are laid out left to right in visual order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/fonts.h"

namespace orva::graphics {

// Positions are in 1/64 pixel. `cluster` is the index of the first character the glyph stands
// for. Control characters keep a glyph without a face: it takes no room and draws nothing.
struct ShapedGlyph {
  Face* face;
  uint32_t id;
  int32_t advance;
  int32_t x_offset, y_offset;  // y_offset up
  uint32_t cluster;
};

struct ShapedLine {
  std::vector<ShapedGlyph> glyphs;  // visual order, left to right
  int64_t width = 0;                // the sum of the advances: the line's measured width
};

class Shaper {
 public:
  Shaper();
  ~Shaper();
  Shaper(const Shaper&) = delete;
  Shaper& operator=(const Shaper&) = delete;

  // Shapes `text` on its own (no context beyond it) with `font`, and appends its glyphs to
  // `out`, after those already there, adding its width.
  void Shape(Font& font, std::u32string_view text, ShapedLine& out);

 private:
  struct Run {
    size_t start, end;
    Face* face;
    hb_script_t script;
    uint8_t level;
  };

  void AssignFaces(Font&, std::u32string_view text);
  void AssignScripts(std::u32string_view text);
  bool AssignLevels(std::u32string_view text);

  hb_buffer_t* buffer_;
  std::vector<Face*> faces_;
  std::vector<hb_script_t> scripts_;
  std::vector<uint8_t> levels_;
  std::vector<Run> runs_;
  std::vector<int32_t> visual_;
  std::u16string utf16_;
};

}  // namespace orva::graphics
