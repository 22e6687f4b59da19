// What drawing text works with, made once per host on first use: the system fonts, the shaper,
// the glyph cache, and buffers reused from call to call.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "graphics/fonts.h"
#include "graphics/glyphs.h"
#include "graphics/shaping.h"
#include "graphics/text_state.h"

namespace orva::graphics {

// Rasterised glyphs are kept up to this many bytes.
inline constexpr size_t kGlyphCacheBytes = size_t{16} << 20;

// A prefix of the line being drawn, shaped (DrawText's working memory).
struct PrefixLine {
  size_t count = SIZE_MAX;  // how many characters; SIZE_MAX: none
  ShapedLine line;
};

struct TextEngine {
  FontLibrary fonts;
  Shaper shaper;
  GlyphCache glyphs{kGlyphCacheBytes};
  std::u32string chars;
  std::array<PrefixLine, 4> prefixes;
  // DrawText leaves out drawing that an opaque second background hides; tests turn this off to
  // check that the results are the same.
  bool skip_hidden = true;
};

// The engine, made on first use; null when the system has no usable font (then text draws
// nothing, and the engine is not tried again).
TextEngine* Engine(TextState&);

}  // namespace orva::graphics
