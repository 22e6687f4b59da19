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

#if defined(__SSE2__)
// An opaque colour replaces the pixels outright: the blend gives exactly the colour.
void FillRowOpaque(uint8_t* p, size_t n, Pixel colour) {
  uint32_t word;
  std::memcpy(&word, &colour, 4);
  const __m128i v = _mm_set1_epi32(static_cast<int32_t>(word));
  size_t i = 0;
  for (; i + 4 <= n; i += 4, p += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  for (; i < n; ++i, p += kBytesPerPixel) std::memcpy(p, &word, 4);
}

// Four pixels at a time in 16-bit lanes, the even bytes (p0, p2) masked out and the odd ones
// (p1, p3) shifted down: p * keep, floor-divided by 255 as the high half of the product with
// 0x8081 shifted right by 7, plus the colour's own share of that byte.
void FillRowBlend(uint8_t* p, size_t n, const ColourBlend& c) {
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const __m128i magic = _mm_set1_epi16(static_cast<int16_t>(0x8081));
  const __m128i keep = _mm_set1_epi16(static_cast<int16_t>(c.keep));
  const __m128i add_even = _mm_set1_epi32(c.add.p0 | c.add.p2 << 16);
  const __m128i add_odd = _mm_set1_epi32(c.add.p1 | c.add.p3 << 16);
  auto scale = [&](__m128i x) {
    return _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(x, keep), magic), 7);
  };
  size_t i = 0;
  for (; i + 4 <= n; i += 4, p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i even = _mm_add_epi16(scale(_mm_and_si128(v, low_bytes)), add_even);
    const __m128i odd = _mm_add_epi16(scale(_mm_srli_epi16(v, 8)), add_odd);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_or_si128(even, _mm_slli_epi16(odd, 8)));
  }
  FillRowScalar(p, n - i, c);
}
#else
void FillRowOpaque(uint8_t* p, size_t n, Pixel colour) {
  for (size_t i = 0; i < n; ++i, p += kBytesPerPixel) StorePixel(p, colour);
}
void FillRowBlend(uint8_t* p, size_t n, const ColourBlend& c) { FillRowScalar(p, n, c); }
#endif

void FillRow(uint8_t* p, size_t n, const ColourBlend& c) {
  if (c.opaque()) return FillRowOpaque(p, n, c.add);  // alpha 255: the share is the colour
  FillRowBlend(p, n, c);
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
