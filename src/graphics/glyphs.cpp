#include "graphics/glyphs.h"

#include FT_OUTLINE_H

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "graphics/blend.h"

namespace orva::graphics {

namespace {

// A glyph bitmap larger than this is not drawn at all: no size a box can ask for comes near.
constexpr size_t kMaxGlyphBytes = size_t{64} << 20;

// Premultiplied "over" of an opaque colour with coverage a: c * a + p * (1 - a) per channel,
// and alpha a + p3 * (1 - a). Each term is divided by 255 on its own, as the other blends are.
inline void Cover(uint8_t* p, Pixel c, uint32_t a) {
  if (a == 255) {
    StorePixel(p, c);
    return;
  }
  const uint32_t k = 255 - a;
  p[0] = static_cast<uint8_t>(Div255(c.p0 * a) + Div255(p[0] * k));
  p[1] = static_cast<uint8_t>(Div255(c.p1 * a) + Div255(p[1] * k));
  p[2] = static_cast<uint8_t>(Div255(c.p2 * a) + Div255(p[2] * k));
  p[3] = static_cast<uint8_t>(a + Div255(p[3] * k));
}

// Where the glyphs of a line land: `f(image, left, top)` for each glyph that can reach into a
// bitmap `width` pixels wide, with the bitmap's top-left corner at (left, top).
template <typename F>
void ForEachGlyph(GlyphCache& cache, const ShapedLine& line, const Font& font, int64_t baseline,
                  int32_t width, F&& f) {
  const int32_t size = font.size();
  // Glyphs whose origin lies this far outside the bitmap cannot reach into it.
  const int64_t margin = (int64_t{size} * 4 + 64) * 64;
  const int64_t right = int64_t{width} * 64 + margin;
  int64_t pen = 0;
  for (const ShapedGlyph& g : line.glyphs) {
    const int64_t x = pen + g.x_offset;
    pen += g.advance;
    if (!g.face || x > right || x < -margin) continue;
    int64_t px = x >> 6;
    int phase = static_cast<int>(((x & 63) + 8) >> 4);
    if (phase == 4) ++px, phase = 0;
    const GlyphImage& img = cache.Get(*g.face, g.id, size, phase);
    if (img.coverage.empty()) continue;
    const int64_t y = baseline - ((int64_t{g.y_offset} + 32) >> 6);
    f(img, px + img.left, y - img.top);
  }
}

// The rows of the underline stroke, [top, top + thickness).
std::pair<int64_t, int64_t> UnderlineRows(const Font& font, int64_t baseline) {
  const Face& face = *font.primary();
  const int64_t em = face.units_per_em, size = font.size();
  const int64_t thickness = std::max<int64_t>(1, (face.underline_thickness * size + em / 2) / em);
  const int64_t centre64 = baseline * 64 - face.underline_position * size * 64 / em;
  const int64_t top = (centre64 - thickness * 32 + 32) >> 6;
  return {top, top + thickness};
}

// The stroke under a line `width` (1/64 pixel) wide: whole rows, its last column covered by
// the fraction of it that the line reaches into.
void DrawUnderline(const Surface& dst, const Font& font, int64_t baseline, int64_t width, Pixel c) {
  if (width <= 0) return;
  const auto [top, bottom] = UnderlineRows(font, baseline);
  const int64_t full = width >> 6;
  const auto partial = static_cast<uint32_t>((width & 63) * 255 / 64);
  const Box rows = Box{0, top, full + (partial ? 1 : 0), bottom}.Intersect(dst.bounds());
  for (int64_t y = rows.top; y < rows.bottom; ++y) {
    for (int64_t x = rows.left; x < rows.right; ++x) {
      Cover(dst.At(x, y), c, x < full ? 255 : partial);
    }
  }
}

}  // namespace

size_t GlyphCache::Hash::operator()(const Key& k) const {
  uint64_t h = reinterpret_cast<uintptr_t>(k.face);
  h = h * 0x9E3779B97F4A7C15ull ^ k.id;
  h = h * 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(k.size) << 2 | k.phase);
  return static_cast<size_t>(h ^ h >> 29);
}

const GlyphImage& GlyphCache::Get(Face& face, uint32_t id, int32_t size, int phase) {
  const Key key{&face, id, size, phase};
  const size_t hash = Hash{}(key);
  Recent& memo = recent_[hash % kRecent];
  if (memo.entry && memo.key == key) {
    memo.entry->used = ++clock_;
    return memo.entry->image;
  }
  if (auto it = entries_.find(key); it != entries_.end()) {
    it->second.used = ++clock_;
    memo = {key, &it->second};
    return it->second.image;
  }
  GlyphImage image;
  Render(face, id, size, phase, image);
  const size_t cost = Cost(image);
  if (cost > limit_ / 4) {
    oversized_ = std::move(image);
    return oversized_;
  }
  if (bytes_ + cost > limit_) Evict();
  bytes_ += cost;
  Entry& entry = entries_.emplace(key, Entry{std::move(image), ++clock_}).first->second;
  recent_[hash % kRecent] = {key, &entry};
  return entry.image;
}

// Drops the less recently used half of the glyphs (by bytes, oldest first).
void GlyphCache::Evict() {
  std::vector<std::pair<uint64_t, Key>> ages;
  ages.reserve(entries_.size());
  for (const auto& [key, entry] : entries_) ages.emplace_back(entry.used, key);
  std::sort(ages.begin(), ages.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [used, key] : ages) {
    if (bytes_ <= limit_ / 2) break;
    auto it = entries_.find(key);
    bytes_ -= Cost(it->second.image);
    entries_.erase(it);
  }
  recent_.fill(Recent{});
}

void GlyphCache::Render(Face& face, uint32_t id, int32_t size, int phase, GlyphImage& out) {
  FT_Face ft = face.ft;
  if (face.ft_size != size) {
    if (FT_Set_Pixel_Sizes(ft, 0, static_cast<FT_UInt>(size)) != 0) return;
    face.ft_size = size;
  }
  if (FT_Load_Glyph(ft, id, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0) return;
  FT_GlyphSlot slot = ft->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return;
  FT_Outline* outline = &slot->outline;
  if (face.slant) {
    FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};  // x += 0.2 y, as fontconfig asks
    FT_Outline_Transform(outline, &shear);
  }
  if (face.embolden) FT_Outline_Embolden(outline, size * 64 / 24);
  FT_Outline_Translate(outline, phase * 16, 0);
  FT_BBox box;
  FT_Outline_Get_CBox(outline, &box);
  const uint64_t w = static_cast<uint64_t>((box.xMax + 63) / 64 - box.xMin / 64 + 1);
  const uint64_t h = static_cast<uint64_t>((box.yMax + 63) / 64 - box.yMin / 64 + 1);
  if (w * h > kMaxGlyphBytes) return;
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
  const FT_Bitmap& bm = slot->bitmap;
  if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.width == 0 || bm.rows == 0) return;
  out.left = slot->bitmap_left;
  out.top = slot->bitmap_top;
  out.width = static_cast<int32_t>(bm.width);
  out.rows = static_cast<int32_t>(bm.rows);
  out.coverage.resize(static_cast<size_t>(bm.width) * bm.rows);
  for (unsigned r = 0; r < bm.rows; ++r) {
    const int pitch = bm.pitch;
    const uint8_t* row = pitch >= 0 ? bm.buffer + static_cast<size_t>(r) * pitch
                                    : bm.buffer + static_cast<size_t>(bm.rows - 1 - r) * -pitch;
    std::memcpy(out.coverage.data() + static_cast<size_t>(r) * bm.width, row, bm.width);
  }
}

void CoverRow(uint8_t* p, const uint8_t* coverage, size_t n, Pixel colour) {
  colour.p3 = 255;
  size_t i = 0;
#if defined(__SSE2__)
  // Four pixels at a time in 16-bit lanes: colour * a + p * (255 - a), each product divided
  // by 255 as the high half of its product with 0x8081 shifted right by 7. With the colour's
  // alpha taken as 255 this gives p3 = a + p3 * (255 - a) / 255, as Cover does.
  const __m128i zero = _mm_setzero_si128();
  const __m128i magic = _mm_set1_epi16(static_cast<int16_t>(0x8081));
  const __m128i full = _mm_set1_epi16(255);
  const __m128i ink =
      _mm_setr_epi16(colour.p0, colour.p1, colour.p2, 255, colour.p0, colour.p1, colour.p2, 255);
  uint32_t word;
  std::memcpy(&word, &colour, 4);
  const __m128i solid = _mm_set1_epi32(static_cast<int32_t>(word));
  auto div255 = [&](__m128i x) { return _mm_srli_epi16(_mm_mulhi_epu16(x, magic), 7); };
  auto blend = [&](__m128i px, __m128i a) {
    return _mm_add_epi16(div255(_mm_mullo_epi16(ink, a)),
                         div255(_mm_mullo_epi16(px, _mm_sub_epi16(full, a))));
  };
  for (; i + 4 <= n; i += 4) {
    uint32_t a4;
    std::memcpy(&a4, coverage + i, 4);
    if (a4 == 0) continue;
    auto* q = reinterpret_cast<__m128i*>(p + i * kBytesPerPixel);
    if (a4 == 0xFFFFFFFF) {
      _mm_storeu_si128(q, solid);
      continue;
    }
    __m128i a = _mm_cvtsi32_si128(static_cast<int32_t>(a4));
    a = _mm_unpacklo_epi8(a, a);
    a = _mm_unpacklo_epi16(a, a);  // each pixel's coverage in its four bytes
    const __m128i px = _mm_loadu_si128(q);
    const __m128i lo = blend(_mm_unpacklo_epi8(px, zero), _mm_unpacklo_epi8(a, zero));
    const __m128i hi = blend(_mm_unpackhi_epi8(px, zero), _mm_unpackhi_epi8(a, zero));
    _mm_storeu_si128(q, _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) {
    if (coverage[i] != 0) Cover(p + i * kBytesPerPixel, colour, coverage[i]);
  }
}

void DrawShapedLine(GlyphCache& cache, const Surface& dst, const ShapedLine& line, const Font& font,
                    int64_t baseline, Pixel colour, bool underline) {
  if (!dst.drawable()) return;
  colour.p3 = 255;
  ForEachGlyph(
      cache, line, font, baseline, dst.width,
      [&](const GlyphImage& img, int64_t left, int64_t top) {
        const Box area = Box{left, top, left + img.width, top + img.rows}.Intersect(dst.bounds());
        if (area.empty()) return;
        for (int64_t y = area.top; y < area.bottom; ++y) {
          const uint8_t* cov = img.coverage.data() + static_cast<size_t>(y - top) * img.width +
                               static_cast<size_t>(area.left - left);
          CoverRow(dst.At(area.left, y), cov, static_cast<size_t>(area.width()), colour);
        }
      });
  if (underline) DrawUnderline(dst, font, baseline, line.width, colour);
}

Box InkBounds(GlyphCache& cache, const Surface& dst, const ShapedLine& line, const Font& font,
              int64_t baseline, bool underline) {
  Box ink{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN};
  auto add = [&](const Box& b) {
    const Box in = b.Intersect(dst.bounds());
    if (in.empty()) return;
    ink = {std::min(ink.left, in.left), std::min(ink.top, in.top), std::max(ink.right, in.right),
           std::max(ink.bottom, in.bottom)};
  };
  ForEachGlyph(cache, line, font, baseline, dst.width,
               [&](const GlyphImage& img, int64_t left, int64_t top) {
                 add({left, top, left + img.width, top + img.rows});
               });
  if (underline && line.width > 0) {
    const auto [top, bottom] = UnderlineRows(font, baseline);
    add({0, top, (line.width + 63) >> 6, bottom});
  }
  return ink.empty() ? Box{} : ink;
}

}  // namespace orva::graphics
