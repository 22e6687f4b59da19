// Single pixels and the alpha channel of an area.
#include "graphics/raster.h"

namespace orva::graphics {

namespace {
bool InBounds(const Surface& s, int32_t x, int32_t y) {
  return s.drawable() && x >= 0 && x < s.width && y >= 0 && y < s.height;
}
}  // namespace

uint32_t GetPixel(const Surface& s, int32_t x, int32_t y) {
  return InBounds(s, x, y) ? ColourWord(LoadPixel(s.At(x, y))) : 0;
}

void SetPixel(const Surface& s, int32_t x, int32_t y, uint32_t colour) {
  if (InBounds(s, x, y)) ColourBlend(StandardMapping(colour)).ApplyAt(s.At(x, y));
}

uint64_t SetAlpha(const Surface& s, Box area, uint64_t key, uint8_t alpha) {
  if (!s.drawable()) return 0;
  area = area.Intersect(s.clip_box());
  if (area.empty()) return 0;
  uint64_t count = 0;
  const bool every_pixel = key == ~uint64_t{0};
  const Pixel k = StandardMapping(static_cast<uint32_t>(key));
  for (int64_t y = area.top; y < area.bottom; ++y) {
    uint8_t* p = s.At(area.left, y);
    for (int64_t x = area.left; x < area.right; ++x, p += kBytesPerPixel) {
      bool hit = every_pixel ? p[3] != alpha : (p[0] == k.p0 && p[1] == k.p1 && p[2] == k.p2);
      if (hit) {
        p[3] = alpha;
        ++count;
      }
    }
  }
  return count;
}

}  // namespace orva::graphics
