// Hue, saturation and value: conversions of colour words, the adjustment of an area and the
// colour picker's square.
//
// Hue runs in 42 steps per sixth of the colour circle (0-251). In the two conversions the
// primary at hue 0 is the colour word's bits 0-7, then bits 8-15 at hue 84 and bits 16-23 at
// hue 168; the two area operations work on pixel bytes, with p0 at hue 0, then p1, then p2.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "graphics/raster.h"

namespace orva::graphics {

namespace {

// trunc(v) of a double known to lie in 0 .. 255.
uint32_t Trunc8(double v) { return static_cast<uint32_t>(v); }

uint32_t PackChannels(uint32_t alpha, uint32_t c0, uint32_t c1, uint32_t c2) {
  return alpha | c2 << 16 | c1 << 8 | c0;
}

// The six sectors of the circle, each giving (c0, c1, c2) from the value and the three mixes.
struct Mix {
  uint32_t v, p, q, t;
};
void BySector(int sector, const Mix& m, uint32_t& c0, uint32_t& c1, uint32_t& c2) {
  switch (sector) {
    case 0: c0 = m.v, c1 = m.t, c2 = m.p; break;
    case 1: c0 = m.q, c1 = m.v, c2 = m.p; break;
    case 2: c0 = m.p, c1 = m.v, c2 = m.t; break;
    case 3: c0 = m.p, c1 = m.q, c2 = m.v; break;
    case 4: c0 = m.t, c1 = m.p, c2 = m.v; break;
    default: c0 = m.v, c1 = m.p, c2 = m.q; break;
  }
}

}  // namespace

uint32_t RgbToHsv(uint32_t colour) {
  const double c0 = (colour & 0xFF) / 255.0, c1 = ((colour >> 8) & 0xFF) / 255.0,
               c2 = ((colour >> 16) & 0xFF) / 255.0;
  const double mx = std::max({c0, c1, c2}), d = mx - std::min({c0, c1, c2});
  const uint32_t alpha = colour & 0xFF000000u, v = Trunc8(mx * 255);
  if (d == 0) return alpha | v << 16;
  double h;
  if (c0 == mx) {
    h = (c1 - c2) / d;
  } else if (c1 != mx) {
    h = (c0 - c1) / d + 4;
  } else {
    h = (c2 - c0) / d + 2;
  }
  while (h < 0) h += 6;
  while (h >= 6) h -= 6;
  const uint32_t s = Trunc8(d / mx * 255), hue = Trunc8(h * 42);
  return alpha | v << 16 | s << 8 | hue;
}

uint32_t HsvToRgb(uint32_t hsv) {
  const double v = ((hsv >> 16) & 0xFF) / 255.0, s = ((hsv >> 8) & 0xFF) / 255.0;
  const uint32_t hue = hsv & 0xFF, alpha = hsv & 0xFF000000u, vb = Trunc8(v * 255);
  if (s == 0) return PackChannels(alpha, vb, vb, vb);
  const double hh = hue / 42.0, i = std::floor(hh);
  if (i > 5) return alpha;
  const double f = hh - i;
  Mix m{vb, Trunc8((1 - s) * v * 255), Trunc8((1 - s * f) * v * 255),
        Trunc8((1 - (1 - f) * s) * v * 255)};
  uint32_t c0, c1, c2;
  BySector(static_cast<int>(i), m, c0, c1, c2);
  return PackChannels(alpha, c0, c1, c2);
}

namespace {

// One pixel of AdjustColours. Its own hue is measured on a 256-step circle (and may come out
// slightly negative; only its low byte is used), the rebuild is on the 252-step one, so
// keeping a saturated colour's hue may shift it a little.
void AdjustPixel(uint8_t* p, int32_t hue, int32_t sat, int32_t bright, int32_t contrast) {
  const int32_t b0 = p[0], b1 = p[1], b2 = p[2];
  const int32_t mx = std::max({b0, b1, b2}), d = mx - std::min({b0, b1, b2});
  int32_t own_sat = 0, own_hue = 0;
  if (mx != 0) {
    own_sat = d * 255 / mx;
    if (own_sat != 0) {
      const int32_t r = (mx - b0) * 255 / d, g = (mx - b1) * 255 / d, b = (mx - b2) * 255 / d;
      if (mx == b0) {
        own_hue = (b - g) / 6;
      } else if (mx != b1) {
        own_hue = (g - r) / 6 + 171;
      } else {
        own_hue = (r - b) / 6 + 85;
      }
    }
  }
  const int32_t h = hue >= 0 ? hue : own_hue;
  const int32_t s = (sat >= 0 ? sat : own_sat) & 0xFF;

  // Contrast and brightness are the program's own 32-bit numbers: 64 bits keep their products
  // whole before the value is clamped.
  int64_t v = mx;
  if (contrast != 0) v = v + (v - 128) * contrast / 255;
  if (bright != 0) v = v + v * bright / 255;
  const int32_t value = static_cast<int32_t>(std::clamp<int64_t>(v, 0, 255));

  if (s == 0) {
    p[0] = p[1] = p[2] = static_cast<uint8_t>(value);
    return;
  }
  const int32_t hb = h & 0xFF, f = hb % 42, sector = hb < 252 ? hb / 42 : 0;
  // 62730 = 246 * 255: the fraction within a sector is f / 41.
  Mix m{static_cast<uint32_t>(value), static_cast<uint32_t>((255 - s) * value / 255),
        static_cast<uint32_t>(f != 0 ? (62730 - 6 * f * s) * value / 62730 : value),
        static_cast<uint32_t>(((6 * f - 246) * s + 62730) * value / 62730)};
  uint32_t c0, c1, c2;
  BySector(sector, m, c0, c1, c2);
  p[0] = static_cast<uint8_t>(c0);
  p[1] = static_cast<uint8_t>(c1);
  p[2] = static_cast<uint8_t>(c2);
}

}  // namespace

void AdjustColours(const Surface& s, Box area, int32_t hue, int32_t saturation, int32_t brightness,
                   int32_t contrast) {
  if (!s.drawable()) return;
  area = area.Intersect(s.clip_box());
  if (area.empty()) return;
  for (int64_t y = area.top; y < area.bottom; ++y) {
    uint8_t* p = s.At(area.left, y);
    for (int64_t x = area.left; x < area.right; ++x, p += kBytesPerPixel) {
      AdjustPixel(p, hue, saturation, brightness, contrast);
    }
  }
}

void DrawColourSquare(const Surface& s, int32_t x, int32_t y, int32_t w, int32_t h, uint8_t hue) {
  const int64_t W = std::llabs(w), H = std::llabs(h);
  if (!s.drawable() || W < 1 || H < 1) return;
  int hh = 167 - hue;  // 167, not 168: the square's hues sit one step off the conversions'
  if (hh < 0) hh += 252;
  const double g = hh / 42.0, sector = std::floor(g), f = g - sector;

  // A square one pixel wide or high has no fraction along that axis: take it as 0.
  auto fraction = [](int64_t k, int64_t n, bool mirrored) {
    return n == 1 ? 0.0
                  : static_cast<double>(mirrored ? n - 1 - k : k) / static_cast<double>(n - 1);
  };
  const Box area = BoxOf(x, y, W, H).Intersect(s.clip_box());
  if (area.empty()) return;
  for (int64_t py = area.top; py < area.bottom; ++py) {
    const double v = fraction(py - y, H, h < 0);
    const uint32_t vb = Trunc8(v * 255);
    uint8_t* p = s.At(area.left, py);
    for (int64_t px = area.left; px < area.right; ++px, p += kBytesPerPixel) {
      const double sat = fraction(px - x, W, w < 0);
      uint32_t c0 = vb, c1 = vb, c2 = vb;
      if (sat != 0) {
        Mix m{vb, Trunc8((1 - sat) * v * 255), Trunc8((1 - f * sat) * v * 255),
              Trunc8((1 - sat * (1 - f)) * v * 255)};
        BySector(static_cast<int>(sector), m, c0, c1, c2);
      }
      StorePixel(
          p, {static_cast<uint8_t>(c0), static_cast<uint8_t>(c1), static_cast<uint8_t>(c2), 255});
    }
  }
}

}  // namespace orva::graphics
