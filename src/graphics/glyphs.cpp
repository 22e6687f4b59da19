#include "graphics/glyphs.h"

#include FT_OUTLINE_H

#include <algorithm>
#include <cstring>

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

void DrawCoverage(const Surface& dst, const GlyphImage& img, int64_t left, int64_t top, Pixel c) {
  const Box area = Box{left, top, left + img.width, top + img.rows}.Intersect(dst.bounds());
  if (area.empty()) return;
  for (int64_t y = area.top; y < area.bottom; ++y) {
    const uint8_t* cov = img.coverage.data() + static_cast<size_t>(y - top) * img.width +
                         static_cast<size_t>(area.left - left);
    uint8_t* p = dst.At(area.left, y);
    for (int64_t x = area.left; x < area.right; ++x, p += kBytesPerPixel, ++cov) {
      if (*cov != 0) Cover(p, c, *cov);
    }
  }
}

// The stroke under a line `width` (1/64 pixel) wide: whole rows, its last column covered by
// the fraction of it that the line reaches into.
void DrawUnderline(const Surface& dst, const Font& font, int64_t baseline, int64_t width, Pixel c) {
  if (width <= 0) return;
  const Face& face = *font.primary();
  const int64_t em = face.units_per_em, size = font.size();
  const int64_t thickness = std::max<int64_t>(1, (face.underline_thickness * size + em / 2) / em);
  const int64_t centre64 = baseline * 64 - face.underline_position * size * 64 / em;
  const int64_t top = (centre64 - thickness * 32 + 32) >> 6;
  const int64_t full = width >> 6;
  const auto partial = static_cast<uint32_t>((width & 63) * 255 / 64);
  const Box rows = Box{0, top, full + (partial ? 1 : 0), top + thickness}.Intersect(dst.bounds());
  for (int64_t y = rows.top; y < rows.bottom; ++y) {
    for (int64_t x = rows.left; x < rows.right; ++x)
      Cover(dst.At(x, y), c, x < full ? 255 : partial);
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
  if (auto it = index_.find(key); it != index_.end()) {
    lru_.splice(lru_.begin(), lru_, it->second);
    return it->second->image;
  }
  GlyphImage image;
  Render(face, id, size, phase, image);
  const size_t cost = image.coverage.size() + sizeof(Entry) + 32;
  if (cost > limit_ / 4) {
    oversized_ = std::move(image);
    return oversized_;
  }
  while (bytes_ + cost > limit_ && !lru_.empty()) {
    const Entry& old = lru_.back();
    bytes_ -= old.image.coverage.size() + sizeof(Entry) + 32;
    index_.erase(old.key);
    lru_.pop_back();
  }
  lru_.push_front({key, std::move(image)});
  index_.emplace(key, lru_.begin());
  bytes_ += cost;
  return lru_.front().image;
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

void DrawShapedLine(GlyphCache& cache, const Surface& dst, const ShapedLine& line, const Font& font,
                    int64_t baseline, Pixel colour, bool underline) {
  if (!dst.drawable()) return;
  colour.p3 = 255;
  const int32_t size = font.size();
  // Glyphs whose origin lies this far outside the bitmap cannot reach into it.
  const int64_t margin = (int64_t{size} * 4 + 64) * 64;
  const int64_t right = int64_t{dst.width} * 64 + margin;
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
    DrawCoverage(dst, img, px + img.left, y - img.top, colour);
  }
  if (underline) DrawUnderline(dst, font, baseline, line.width, colour);
}

}  // namespace orva::graphics
