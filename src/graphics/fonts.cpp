#include "graphics/fonts.h"

#include <cstring>

namespace orva::graphics {

namespace {

constexpr uint32_t kCourier = 1u << 21, kBold = 1u << 22, kTimes = 1u << 24, kOblique = 1u << 27;

constexpr const char* kFamilies[] = {"Helvetica", "Courier", "Times"};
constexpr const char* kFontNames[kFontStyles] = {
    "Helvetica", "Helvetica-Oblique", "Helvetica-Bold", "Helvetica-BoldOblique",
    "Courier",   "Courier-Oblique",   "Courier-Bold",   "Courier-BoldOblique",
    "Times",     "Times-Italic",      "Times-Bold",     "Times-BoldItalic"};

// HarfBuzz reads OpenType tables; fonts in other formats (Type 1, bitmap fonts) are passed over.
bool Usable(FcPattern* font) {
  FcChar8* format = nullptr;
  if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) != FcResultMatch) return false;
  const char* f = reinterpret_cast<const char*>(format);
  FcBool scalable = FcFalse;
  FcPatternGetBool(font, FC_SCALABLE, 0, &scalable);
  return scalable && (std::strcmp(f, "TrueType") == 0 || std::strcmp(f, "CFF") == 0);
}

}  // namespace

int StyleIndex(uint32_t flags) {
  const int family = (flags & kCourier) ? 1 : (flags & kTimes) ? 2 : 0;
  return family * 4 + ((flags & kBold) ? 2 : 0) + ((flags & kOblique) ? 1 : 0);
}

const char* FontName(int style) { return kFontNames[style]; }

Face::~Face() {
  if (hb_unit) hb_font_destroy(hb_unit);
  if (hb_face) hb_face_destroy(hb_face);
  if (ft) FT_Done_Face(ft);
}

FontLibrary::FontLibrary() {
  if (FT_Init_FreeType(&ft_) != 0) ft_ = nullptr;
  config_ = FcInitLoadConfigAndFonts();
}

FontLibrary::~FontLibrary() {
  faces_.clear();
  for (StyleFonts& s : styles_) {
    if (s.set) FcFontSetDestroy(s.set);
    if (s.pattern) FcPatternDestroy(s.pattern);
  }
  if (config_) FcConfigDestroy(config_);
  if (ft_) FT_Done_FreeType(ft_);
}

// fontconfig's list for a style, best match first, trimmed to the fonts that add characters.
FontLibrary::StyleFonts& FontLibrary::Sorted(int style) {
  StyleFonts& s = styles_[style];
  if (s.sorted || !ok()) return s;
  s.sorted = true;
  s.pattern = FcPatternCreate();
  FcPatternAddString(s.pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kFamilies[style / 4]));
  FcPatternAddInteger(s.pattern, FC_WEIGHT, (style & 2) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  // Times has italics; Helvetica and Courier are oblique. fontconfig takes either for the other.
  FcPatternAddInteger(s.pattern, FC_SLANT,
                      !(style & 1)     ? FC_SLANT_ROMAN
                      : style / 4 == 2 ? FC_SLANT_ITALIC
                                       : FC_SLANT_OBLIQUE);
  FcConfigSubstitute(config_, s.pattern, FcMatchPattern);
  FcDefaultSubstitute(s.pattern);
  FcResult result;
  s.set = FcFontSort(config_, s.pattern, FcTrue, nullptr, &result);
  if (!s.set) return s;
  for (int i = 0; i < s.set->nfont; ++i) {
    FcPattern* font = s.set->fonts[i];
    FcCharSet* charset = nullptr;
    if (!Usable(font) || FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch)
      continue;
    s.candidates.push_back({font, charset});
  }
  return s;
}

// Loads a candidate once; a file that FreeType or HarfBuzz cannot read is passed over for good.
Face* FontLibrary::Load(StyleFonts& s, Candidate& c) {
  if (c.tried) return c.face;
  c.tried = true;
  FcPattern* prepared = FcFontRenderPrepare(config_, s.pattern, c.font);
  if (!prepared) return nullptr;
  FcChar8* file = nullptr;
  int index = 0;
  FcBool embolden = FcFalse;
  FcMatrix* matrix = nullptr;
  FcPatternGetString(prepared, FC_FILE, 0, &file);
  FcPatternGetInteger(prepared, FC_INDEX, 0, &index);
  FcPatternGetBool(prepared, FC_EMBOLDEN, 0, &embolden);
  const bool slant =
      FcPatternGetMatrix(prepared, FC_MATRIX, 0, &matrix) == FcResultMatch && matrix->xy != 0;
  std::string key = file ? reinterpret_cast<const char*>(file) : "";
  FcPatternDestroy(prepared);
  if (key.empty()) return nullptr;
  const std::string path = key;
  key += '\0' + std::to_string(index) + (slant ? "s" : "") + (embolden ? "b" : "");
  for (auto& [k, face] : faces_) {
    if (k == key) return c.face = face.get();
  }

  auto face = std::make_unique<Face>();
  if (FT_New_Face(ft_, path.c_str(), index, &face->ft) != 0) {
    face->ft = nullptr;
    return nullptr;
  }
  if (!FT_IS_SCALABLE(face->ft) || face->ft->units_per_EM == 0) return nullptr;
  hb_blob_t* blob = hb_blob_create_from_file_or_fail(path.c_str());
  if (!blob) return nullptr;
  face->hb_face = hb_face_create(blob, static_cast<unsigned>(index) & 0xFFFF);
  hb_blob_destroy(blob);
  face->hb_unit = hb_font_create(face->hb_face);
  const FT_Face ft = face->ft;
  face->units_per_em = ft->units_per_EM;
  face->ascender = ft->ascender;
  face->descender = ft->descender > 0 ? -ft->descender : ft->descender;
  face->line_height = ft->height > 0 ? ft->height : ft->ascender - face->descender;
  face->underline_position = ft->underline_position;
  face->underline_thickness = ft->underline_thickness;
  face->slant = slant;
  face->embolden = embolden;
  if (face->underline_thickness <= 0) face->underline_thickness = face->units_per_em / 20;
  if (face->underline_position == 0) face->underline_position = -face->units_per_em / 10;
  faces_.emplace_back(std::move(key), std::move(face));
  return c.face = faces_.back().second.get();
}

Face* FontLibrary::Primary(int style) {
  StyleFonts& s = Sorted(style);
  for (Candidate& c : s.candidates) {
    if (Face* face = Load(s, c)) return face;
  }
  return nullptr;
}

Face* FontLibrary::Fallback(int style, char32_t c) {
  StyleFonts& s = Sorted(style);
  // Text in one script asks for the same characters again and again: remember the answers.
  FallbackMemo& memo = s.memo[c % s.memo.size()];
  if (memo.c == c) return memo.face;
  Face* found = nullptr;
  for (Candidate& cand : s.candidates) {
    if (!FcCharSetHasChar(cand.charset, c)) continue;
    Face* face = Load(s, cand);
    if (face && face->HasGlyph(c)) {
      found = face;
      break;
    }
  }
  memo = {c, found};
  return found;
}

Font::Font(FontLibrary& library, int style, int32_t size)
    : library_(library), style_(style), size_(size), primary_(library.Primary(style)) {}

Font::~Font() {
  for (auto& [face, font] : sized_) hb_font_destroy(font);
}

hb_font_t* Font::Sized(Face* face) {
  for (auto& [f, font] : sized_) {
    if (f == face) return font;
  }
  hb_font_t* font = hb_font_create(face->hb_face);
  hb_font_set_scale(font, size_ * 64, size_ * 64);
  sized_.emplace_back(face, font);
  return font;
}

}  // namespace orva::graphics
