// AdjustColours and DrawColourSquare, as the program calls them.
#include <cstdlib>

#include "core/host.h"
#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/raster.h"

namespace orva::graphics {

void AdjustColours(Host& host, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h,
                   int32_t hue, int32_t saturation, int32_t brightness, int32_t contrast) {
  Box area;
  {
    SrcBinding src(host, hbm);
    const Surface& s = src.surface();
    if (!s.drawable()) return;
    area = BoxOf(x, y, w, h).Intersect(s.clip_box());
    if (area.empty()) return;  // nothing, not even a dirty rectangle
    AdjustColours(s, area, hue, saturation, brightness, contrast);
  }
  if (hbm == kScreen) AddDirtyRect(host, area.left, area.top, area.width(), area.height());
}

void DrawColourSquare(Host& host, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h,
                      uint8_t hue) {
  const int64_t width = std::llabs(w), height = std::llabs(h);
  if (width >= 1 && height >= 1) {
    DstBinding dst(host, hbm);
    DrawColourSquare(dst.surface(), x, y, w, h, hue);
  }
  if (hbm == kScreen) AddDirtyRect(host, x, y, width, height);
}

}  // namespace orva::graphics
