// The system fonts behind text: fontconfig turns the twelve named fonts (three families, each
// plain, bold, oblique and both) into font files and finds fallback fonts for characters a font
// lacks; each file is loaded once, for HarfBuzz (shaping, metrics) and FreeType (rasterising).
//
// Sizes are in pixels: a font of size s has an em square s pixels high. Everything measured is
// in font units scaled linearly by s / unitsPerEm (no hinted metrics), so measurements are the
// same at every position and on every machine with the same font files.
#pragma once

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orva::graphics {

// Font styles as an index 0-11: family * 4 + bold * 2 + oblique, with the families Helvetica
// (0), Courier (1) and Times (2).
inline constexpr int kFontStyles = 12;
int StyleIndex(uint32_t flags);
// "Helvetica", "Courier-Bold", "Times-Italic", ...
const char* FontName(int style);

// One font file as loaded, with the styles fontconfig asks to synthesise for it (a fallback
// font in a style it does not have). Metrics are in font units.
struct Face {
  ~Face();

  FT_Face ft = nullptr;
  hb_face_t* hb_face = nullptr;
  hb_font_t* hb_unit = nullptr;  // at the font's own units, for glyph lookups
  int32_t units_per_em = 1000;
  int32_t ascender = 0, descender = 0;  // descender is negative or 0
  int32_t line_height = 0;              // ascender - descender + line gap
  int32_t underline_position = 0;       // the centre of the stroke, negative below the baseline
  int32_t underline_thickness = 0;
  bool slant = false, embolden = false;
  int32_t ft_size = 0;  // the pixel size FreeType is set to

  bool HasGlyph(char32_t c) const {
    hb_codepoint_t g;
    return hb_font_get_nominal_glyph(hb_unit, c, &g) != 0;
  }
};

class FontLibrary {
 public:
  FontLibrary();
  ~FontLibrary();
  FontLibrary(const FontLibrary&) = delete;
  FontLibrary& operator=(const FontLibrary&) = delete;

  // False when fontconfig or FreeType could not start: then no text can be drawn.
  bool ok() const { return config_ != nullptr && ft_ != nullptr; }
  FT_Library freetype() const { return ft_; }

  // The font fontconfig matches best to a style's name; null when the system has no usable
  // font at all.
  Face* Primary(int style);
  // The first font in fontconfig's order of preference for the style that has a glyph for c,
  // or null when none has.
  Face* Fallback(int style, char32_t c);

 private:
  struct Candidate {
    FcPattern* font;     // owned by the style's font set
    FcCharSet* charset;  // owned by `font`
    Face* face = nullptr;
    bool tried = false;
  };
  struct FallbackMemo {
    char32_t c = 0xFFFFFFFF;  // never a character
    Face* face = nullptr;
  };
  struct StyleFonts {
    bool sorted = false;
    FcPattern* pattern = nullptr;
    FcFontSet* set = nullptr;
    std::vector<Candidate> candidates;   // in order of preference; [0] is the primary font
    std::array<FallbackMemo, 256> memo;  // answers of Fallback, by character
  };

  StyleFonts& Sorted(int style);
  Face* Load(StyleFonts&, Candidate&);

  FcConfig* config_ = nullptr;
  FT_Library ft_ = nullptr;
  std::array<StyleFonts, kFontStyles> styles_;
  std::vector<std::pair<std::string, std::unique_ptr<Face>>> faces_;  // by file, index, styles
};

// A named font at one size: the primary face of its style, and HarfBuzz fonts at that size for
// it and for each fallback face it has needed.
class Font {
 public:
  Font(FontLibrary& library, int style, int32_t size);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  FontLibrary& library() const { return library_; }
  int style() const { return style_; }
  int32_t size() const { return size_; }
  Face* primary() const { return primary_; }
  hb_font_t* Sized(Face*);

  // The line's measured height and the font's descender are the primary face's metrics scaled
  // by size / unitsPerEm. They are kept as fractions over unitsPerEm so that the sizing rules
  // compare them exactly.
  int64_t units_per_em() const { return primary_->units_per_em; }
  int64_t line_height_scaled() const { return int64_t{primary_->line_height} * size_; }
  int64_t descender_scaled() const { return int64_t{primary_->descender} * size_; }

 private:
  FontLibrary& library_;
  int style_;
  int32_t size_;
  Face* primary_;
  std::vector<std::pair<Face*, hb_font_t*>> sized_;
};

}  // namespace orva::graphics
