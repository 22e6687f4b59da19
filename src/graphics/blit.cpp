// Same-size copies with the copy blend, inversion and tiling.
//
// Tiles start at dx, dx + w, dx + 2w, ... and keep coming while they start before the limit, each
// cut at the limit; together they cover exactly the columns from dx up to the limit, column x
// taking source column sx + (x - dx) mod w. Rows likewise. So the copy is done as one pass over
// the covered area in row order, left to right, in runs of consecutive source columns.
#include "graphics/blit_row.h"
#include "graphics/raster.h"

namespace orva::graphics {

Box TiledArea(int32_t dx, int32_t dy, int64_t tile_w, int64_t tile_h, int32_t x_limit,
              int32_t y_limit) {
  return {dx, dy, x_limit != 0 ? int64_t{x_limit} : dx + tile_w,
          y_limit != 0 ? int64_t{y_limit} : dy + tile_h};
}

void Blit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t sx, int32_t sy,
          int32_t w, int32_t h, bool invert, int32_t x_limit, int32_t y_limit) {
  if (w <= 0 || h <= 0 || !dst.drawable() || !src.drawable()) return;
  const Box area = TiledArea(dx, dy, w, h, x_limit, y_limit).Intersect(dst.clip_box());
  if (area.empty()) return;

  for (int64_t y = area.top; y < area.bottom; ++y) {
    const int64_t src_y = sy + (y - dy) % h;
    if (src_y < 0 || src_y >= src.height) continue;  // outside the source: skipped
    int64_t x = area.left;
    int64_t tile_col = (x - dx) % w;
    while (x < area.right) {
      const int64_t run = std::min<int64_t>(area.right - x, w - tile_col);
      // Source columns of this run, cut to the source bitmap.
      const int64_t first = sx + tile_col, last = first + run;
      const int64_t from = std::max<int64_t>(first, 0), to = std::min<int64_t>(last, src.width);
      if (from < to) {
        CopyBlendRow(dst.At(x + (from - first), y), src.At(from, src_y),
                     static_cast<size_t>(to - from), invert);
      }
      x += run;
      tile_col = 0;
    }
  }
}

}  // namespace orva::graphics
