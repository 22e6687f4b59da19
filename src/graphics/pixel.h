// The one pixel format of every bitmap, and the drawing surface that all drawing code works on.
//
// A pixel is four bytes, here called p0 p1 p2 p3 in memory order:
//
//   byte   p0     p1      p2     p3
//   shown  red    green   blue   alpha (255 opaque, 0 fully transparent)
//
// Rows run top to bottom; pixel (x, y) starts at byte y * row_bytes + x * 4.
//
// The program passes colours as 32-bit colour words 0xAARRGGBB. The standard mapping puts bits
// 16-23 in p0, bits 8-15 in p1, bits 0-7 in p2 and the alpha in p3; ellipses use the direct
// mapping, which puts bits 0-7 in p0 and bits 16-23 in p2. Read as a little-endian u32, a pixel
// therefore holds its colour word with the red and blue bytes exchanged.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orva::graphics {

inline constexpr int kBytesPerPixel = 4;

struct Pixel {
  uint8_t p0, p1, p2, p3;

  friend bool operator==(const Pixel&, const Pixel&) = default;
};
static_assert(sizeof(Pixel) == kBytesPerPixel);

inline Pixel LoadPixel(const uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }
inline void StorePixel(uint8_t* p, Pixel v) { std::memcpy(p, &v, kBytesPerPixel); }

// Colour word -> pixel bytes.
constexpr Pixel StandardMapping(uint32_t colour) {
  return {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
          static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 24)};
}
constexpr Pixel DirectMapping(uint32_t colour) {
  return {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
          static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 24)};
}
// Pixel bytes -> colour word: the inverse of the standard mapping.
constexpr uint32_t ColourWord(Pixel p) {
  return static_cast<uint32_t>(p.p3) << 24 | static_cast<uint32_t>(p.p0) << 16 |
         static_cast<uint32_t>(p.p1) << 8 | p.p2;
}

constexpr uint8_t AlphaOf(uint32_t colour) { return static_cast<uint8_t>(colour >> 24); }

// A rectangle by its edges, right and bottom exclusive. 64-bit, so that x + w never overflows
// for any pair of 32-bit arguments.
struct Box {
  int64_t left = 0, top = 0, right = 0, bottom = 0;

  bool empty() const { return left >= right || top >= bottom; }
  int64_t width() const { return right - left; }
  int64_t height() const { return bottom - top; }
  bool Contains(int64_t x, int64_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
  Box Intersect(const Box& o) const {
    return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
            std::min(bottom, o.bottom)};
  }
};

inline Box BoxOf(int64_t x, int64_t y, int64_t w, int64_t h) { return {x, y, x + w, y + h}; }

// A clip rectangle as the bitmap records keep it: left, top, width, height.
struct ClipRect {
  int32_t x = 0, y = 0, w = 0, h = 0;

  Box box() const { return BoxOf(x, y, w, h); }
  friend bool operator==(const ClipRect&, const ClipRect&) = default;
};

// What a drawing operation works on: raw pixel memory, its geometry and its clip rectangle.
//
// Invariant (established by whoever builds the surface, checked once there): when `pixels` is
// non-null, every pixel (x, y) with 0 <= x < width and 0 <= y < height lies in memory the surface
// may write, and the clip rectangle lies inside those bounds. Drawing code therefore only has to
// respect the clip rectangle (or the bounds, for single pixels). A null `pixels` means there is
// nothing to draw on, and every operation leaves it alone.
struct Surface {
  uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  size_t row_bytes = 0;
  ClipRect clip;

  bool drawable() const { return pixels != nullptr; }
  Box bounds() const { return {0, 0, width, height}; }
  Box clip_box() const { return clip.box(); }
  uint8_t* At(int64_t x, int64_t y) const {
    return pixels + static_cast<size_t>(y) * row_bytes + static_cast<size_t>(x) * kBytesPerPixel;
  }
};

// Cuts a clip rectangle to the bitmap's bounds, so that a record the program has scribbled on can
// never lead drawing outside the pixels. A clip made by SetClip passes through unchanged.
// Each axis is cut on its own, so an empty clip keeps its edges inside the bounds too.
inline ClipRect ClampClip(ClipRect c, int32_t width, int32_t height) {
  auto cut = [](int32_t start, int32_t extent, int32_t limit, int32_t& out_start,
                int32_t& out_extent) {
    int64_t lo = std::clamp<int64_t>(start, 0, limit);
    int64_t hi = std::clamp<int64_t>(int64_t{start} + extent, lo, limit);
    out_start = static_cast<int32_t>(lo);
    out_extent = static_cast<int32_t>(hi - lo);
  };
  ClipRect r;
  cut(c.x, c.w, width, r.x, r.w);
  cut(c.y, c.h, height, r.y, r.h);
  return r;
}

}  // namespace orva::graphics
