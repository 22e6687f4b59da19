#include "graphics/shaping.h"

#include <unicode/ubidi.h>
#include <unicode/uchar.h>

#include <climits>

namespace orva::graphics {

namespace {

bool StrongRightToLeft(char32_t c) {
  if (c < 0x590) return false;
  switch (u_charDirection(static_cast<UChar32>(c))) {
    case U_RIGHT_TO_LEFT:
    case U_RIGHT_TO_LEFT_ARABIC:
    case U_RIGHT_TO_LEFT_EMBEDDING:
    case U_RIGHT_TO_LEFT_OVERRIDE:
    case U_RIGHT_TO_LEFT_ISOLATE: return true;
    default: return false;
  }
}

// Marks, joiners, selectors and controls belong with the character before them.
bool Attaches(hb_unicode_funcs_t* uf, char32_t c) {
  switch (hb_unicode_general_category(uf, c)) {
    case HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_FORMAT:
    case HB_UNICODE_GENERAL_CATEGORY_CONTROL: return true;
    default: return false;
  }
}

// Control characters (line ends, tabs, ...) take no room and draw nothing.
bool Control(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

}  // namespace

Shaper::Shaper() : buffer_(hb_buffer_create()) {}

Shaper::~Shaper() { hb_buffer_destroy(buffer_); }

void Shaper::AssignFaces(Font& font, std::u32string_view text) {
  hb_unicode_funcs_t* uf = hb_unicode_funcs_get_default();
  Face* primary = font.primary();
  faces_.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    const bool attaches = i > 0 && Attaches(uf, c);
    if (attaches && faces_[i - 1]->HasGlyph(c)) {
      faces_[i] = faces_[i - 1];
    } else if (primary->HasGlyph(c)) {
      faces_[i] = primary;
    } else if (attaches || Control(c)) {
      faces_[i] = i > 0 ? faces_[i - 1] : primary;
    } else {
      Face* fallback = font.library().Fallback(font.style(), c);
      faces_[i] = fallback ? fallback : primary;
    }
  }
}

// Characters common to all scripts (spaces, digits, punctuation, marks) join the script of the
// text around them: the one before, or at the start the first one after.
void Shaper::AssignScripts(std::u32string_view text) {
  hb_unicode_funcs_t* uf = hb_unicode_funcs_get_default();
  scripts_.resize(text.size());
  hb_script_t last = HB_SCRIPT_INVALID;
  size_t pending = 0;  // characters at the start still without a script
  for (size_t i = 0; i < text.size(); ++i) {
    const hb_script_t s = hb_unicode_script(uf, text[i]);
    if (s == HB_SCRIPT_COMMON || s == HB_SCRIPT_INHERITED || s == HB_SCRIPT_UNKNOWN) {
      scripts_[i] = last;
      if (last == HB_SCRIPT_INVALID) ++pending;
      continue;
    }
    if (last == HB_SCRIPT_INVALID) {
      for (size_t k = 0; k < pending; ++k) scripts_[k] = s;
    }
    scripts_[i] = last = s;
  }
  if (last == HB_SCRIPT_INVALID) {
    for (hb_script_t& s : scripts_) s = HB_SCRIPT_COMMON;
  }
}

// Embedding levels by the bidirectional algorithm, the paragraph's direction taken from its
// first strong character. Text without right-to-left characters is all level 0.
bool Shaper::AssignLevels(std::u32string_view text) {
  levels_.assign(text.size(), 0);
  bool any = false;
  for (char32_t c : text) {
    if (StrongRightToLeft(c)) {
      any = true;
      break;
    }
  }
  if (!any) return false;
  utf16_.clear();
  for (char32_t c : text) {
    if (c < 0x10000) {
      utf16_.push_back(static_cast<char16_t>(c));
    } else {
      utf16_.push_back(static_cast<char16_t>(0xD7C0 + (c >> 10)));
      utf16_.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
    }
  }
  if (utf16_.size() > INT32_MAX) return false;
  const auto length = static_cast<int32_t>(utf16_.size());
  UErrorCode error = U_ZERO_ERROR;
  UBiDi* bidi = ubidi_openSized(length, 0, &error);
  ubidi_setPara(bidi, utf16_.data(), length, UBIDI_DEFAULT_LTR, nullptr, &error);
  const UBiDiLevel* levels = ubidi_getLevels(bidi, &error);
  if (U_SUCCESS(error)) {
    size_t u = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      levels_[i] = levels[u];
      u += text[i] < 0x10000 ? 1 : 2;
    }
  }
  ubidi_close(bidi);
  return U_SUCCESS(error);
}

void Shaper::Shape(Font& font, std::u32string_view text, ShapedLine& out) {
  const size_t n = text.size();
  if (n == 0 || n > INT_MAX) return;
  AssignFaces(font, text);
  AssignScripts(text);
  const bool bidi = AssignLevels(text);

  runs_.clear();
  for (size_t i = 0; i < n; ++i) {
    if (!runs_.empty()) {
      Run& r = runs_.back();
      if (r.face == faces_[i] && r.script == scripts_[i] && r.level == levels_[i]) {
        r.end = i + 1;
        continue;
      }
    }
    runs_.push_back({i, i + 1, faces_[i], scripts_[i], levels_[i]});
  }
  visual_.resize(runs_.size());
  for (size_t k = 0; k < runs_.size(); ++k) visual_[k] = static_cast<int32_t>(k);
  if (bidi) {
    std::vector<UBiDiLevel> levels(runs_.size());
    for (size_t k = 0; k < runs_.size(); ++k) levels[k] = runs_[k].level;
    ubidi_reorderVisual(levels.data(), static_cast<int32_t>(levels.size()), visual_.data());
  }

  static hb_language_t const kLanguage = hb_language_from_string("und", -1);
  for (int32_t k : visual_) {
    const Run& run = runs_[k];
    hb_buffer_clear_contents(buffer_);
    hb_buffer_add_utf32(buffer_, reinterpret_cast<const uint32_t*>(text.data()),
                        static_cast<int>(n), static_cast<unsigned>(run.start),
                        static_cast<int>(run.end - run.start));
    hb_buffer_set_direction(buffer_, (run.level & 1) ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer_, run.script);
    hb_buffer_set_language(buffer_, kLanguage);
    hb_buffer_set_cluster_level(buffer_, HB_BUFFER_CLUSTER_LEVEL_MONOTONE_CHARACTERS);
    hb_shape(font.Sized(run.face), buffer_, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer_, &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer_, &count);
    for (unsigned g = 0; g < count; ++g) {
      const bool control = Control(text[info[g].cluster]);
      const int32_t advance = control ? 0 : pos[g].x_advance;
      out.glyphs.push_back({control ? nullptr : run.face, info[g].codepoint, advance,
                            pos[g].x_offset, pos[g].y_offset, info[g].cluster});
      out.width += advance;
    }
  }
}

}  // namespace orva::graphics
