// Filling an area with the colour blend: the inner loop of rectangles, and of the screen's
// clearing at start-up, so it is written once for whole rows with a vector path.
#include <cstring>

#include "graphics/raster.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orva::graphics {

namespace {

void FillRowScalar(uint8_t* p, size_t n, const ColourBlend& c) {
  for (size_t i = 0; i < n; ++i, p += kBytesPerPixel) c.ApplyAt(p);
}

// An opaque colour replaces the pixels outright: the blend gives exactly the colour.
void FillRowOpaque(uint8_t* p, size_t n, Pixel colour) {
  uint32_t v;
  std::memcpy(&v, &colour, 4);
  for (size_t i = 0; i < n; ++i, p += kBytesPerPixel) std::memcpy(p, &v, 4);
}

#if defined(__SSE2__)
// Four pixels at a time in 16-bit lanes: p * keep, floor-divided by 255 as (x * 0x8081) >> 23
// (the high half of the 16 x 16 product, shifted right by 7), plus the colour's own share.
void FillRowSse2(uint8_t* p, size_t n, const ColourBlend& c) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i keep = _mm_set1_epi16(static_cast<int16_t>(c.keep));
  const __m128i magic = _mm_set1_epi16(static_cast<int16_t>(0x8081));
  const __m128i add = _mm_setr_epi16(c.add.p0, c.add.p1, c.add.p2, c.add.p3, c.add.p0, c.add.p1,
                                     c.add.p2, c.add.p3);
  size_t i = 0;
  for (; i + 4 <= n; i += 4, p += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
    lo = _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(lo, keep), magic), 7);
    hi = _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(hi, keep), magic), 7);
    lo = _mm_add_epi16(lo, add);
    hi = _mm_add_epi16(hi, add);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(lo, hi));
  }
  FillRowScalar(p, n - i, c);
}
#endif

void FillRow(uint8_t* p, size_t n, const ColourBlend& c) {
  if (c.opaque()) return FillRowOpaque(p, n, c.add);  // alpha 255: the share is the colour
#if defined(__SSE2__)
  FillRowSse2(p, n, c);
#else
  FillRowScalar(p, n, c);
#endif
}

}  // namespace

void FillBox(const Surface& s, Box area, const ColourBlend& c) {
  if (!s.drawable() || !c.visible()) return;
  area = area.Intersect(s.clip_box());
  if (area.empty()) return;
  for (int64_t y = area.top; y < area.bottom; ++y) {
    FillRow(s.At(area.left, y), static_cast<size_t>(area.width()), c);
  }
}

}  // namespace orva::graphics
