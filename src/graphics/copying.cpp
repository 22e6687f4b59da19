// Blit and StretchBlit, as the program calls them.
#include "core/host.h"
#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/raster.h"

namespace orva::graphics {

namespace {

// The area a copy reports on the screen: from (dx, dy) to the limits, or one tile.
void ReportCopy(Host& host, uint32_t dst, int32_t dx, int32_t dy, int32_t w, int32_t h,
                int32_t x_limit, int32_t y_limit) {
  if (dst != kScreen) return;
  AddDirtyRect(host, dx, dy, x_limit != 0 ? int64_t{x_limit} - dx : w,
               y_limit != 0 ? int64_t{y_limit} - dy : h);
}

}  // namespace

void Blit(Host& host, uint32_t dst, int32_t dx, int32_t dy, uint32_t src, int32_t sx, int32_t sy,
          int32_t w, int32_t h, bool invert, int32_t x_limit, int32_t y_limit) {
  if (w <= 0 || h <= 0) return;
  {
    PairBinding pair(host, src, dst);
    Blit(pair.dst(), pair.src(), dx, dy, sx, sy, w, h, invert, x_limit, y_limit);
  }
  ReportCopy(host, dst, dx, dy, w, h, x_limit, y_limit);
}

void StretchBlit(Host& host, uint32_t dst, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                 uint32_t src, int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t x_limit,
                 int32_t y_limit) {
  if (dw < 1 || dh < 1 || sw < 1 || sh < 1) return;
  if (dw == sw && dh == sh) {
    return Blit(host, dst, dx, dy, src, sx, sy, dw, dh, false, x_limit, y_limit);
  }
  {
    PairBinding pair(host, src, dst);
    StretchBlit(pair.dst(), pair.src(), dx, dy, dw, dh, sx, sy, sw, sh, x_limit, y_limit,
                host.gfx.stretch_spans);
  }
  ReportCopy(host, dst, dx, dy, dw, dh, x_limit, y_limit);
}

}  // namespace orva::graphics
