// The three ways a colour meets a pixel. Every division by 255 drops its remainder, and each
// term is divided on its own before the terms are added; results are exact to the last bit, so
// the vector paths (blit_row.h, fill_row.h) must reproduce these scalar definitions bit for bit.
#pragma once

#include <algorithm>
#include <cstdint>

#include "graphics/pixel.h"

namespace orva::graphics {

// floor(x / 255) for every product of two bytes (x <= 255 * 255).
constexpr uint32_t Div255(uint32_t x) { return (x * 0x8081u) >> 23; }

// The colour blend of shapes and single pixels, with the colour's terms computed once:
//   p = p * (255 - a) / 255 + s * a / 255   for p0, p1, p2
//   p3 = p3 * (255 - a) / 255 + a * a / 255
// Alpha 0 leaves a pixel as it was; alpha 255 replaces the colour and makes it opaque.
struct ColourBlend {
  explicit ColourBlend(Pixel colour)
      : alpha(colour.p3),
        keep(255u - colour.p3),
        add{static_cast<uint8_t>(Div255(colour.p0 * alpha)),
            static_cast<uint8_t>(Div255(colour.p1 * alpha)),
            static_cast<uint8_t>(Div255(colour.p2 * alpha)),
            static_cast<uint8_t>(Div255(alpha * alpha))} {}

  bool visible() const { return alpha != 0; }
  bool opaque() const { return alpha == 255; }

  Pixel Apply(Pixel p) const {
    return {static_cast<uint8_t>(Div255(p.p0 * keep) + add.p0),
            static_cast<uint8_t>(Div255(p.p1 * keep) + add.p1),
            static_cast<uint8_t>(Div255(p.p2 * keep) + add.p2),
            static_cast<uint8_t>(Div255(p.p3 * keep) + add.p3)};
  }
  void ApplyAt(uint8_t* p) const { StorePixel(p, Apply(LoadPixel(p))); }

  uint32_t alpha;
  uint32_t keep;  // 255 - alpha
  Pixel add;      // the colour's own share of each byte
};

// The copy blend of Blit, by the source pixel's alpha a:
//   d = s * a / 255 + d * (255 - a) / 255   for p0, p1, p2
//   d3 = min(d3 + a, 255)
// so the destination's alpha accumulates. With `invert`, s is 255 - s for the colour bytes.
inline Pixel CopyBlend(Pixel d, Pixel s, bool invert) {
  if (invert)
    s = {static_cast<uint8_t>(~s.p0), static_cast<uint8_t>(~s.p1), static_cast<uint8_t>(~s.p2),
         s.p3};
  uint32_t a = s.p3, keep = 255 - a;
  return {static_cast<uint8_t>(Div255(s.p0 * a) + Div255(d.p0 * keep)),
          static_cast<uint8_t>(Div255(s.p1 * a) + Div255(d.p1 * keep)),
          static_cast<uint8_t>(Div255(s.p2 * a) + Div255(d.p2 * keep)),
          static_cast<uint8_t>(std::min<uint32_t>(d.p3 + a, 255))};
}

// The blend of StretchBlit, with resampled colour r and alpha a:
//   d = r * a / 255 + d * (255 - a) / 255   for p0, p1, p2
//   d3 = min(a * a / 255 + d3 * (255 - a) / 255, 255)
inline Pixel ScaledBlend(Pixel d, Pixel r) {
  uint32_t a = r.p3, keep = 255 - a;
  return {static_cast<uint8_t>(Div255(r.p0 * a) + Div255(d.p0 * keep)),
          static_cast<uint8_t>(Div255(r.p1 * a) + Div255(d.p1 * keep)),
          static_cast<uint8_t>(Div255(r.p2 * a) + Div255(d.p2 * keep)),
          static_cast<uint8_t>(std::min<uint32_t>(Div255(a * a) + Div255(d.p3 * keep), 255))};
}

}  // namespace orva::graphics
