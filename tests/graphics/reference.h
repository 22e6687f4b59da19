// Slow, obvious versions of the optimised paths, written straight from the rules: tile loops as
// nested loops, every blend as its formula, every pixel visited. For small arguments only.
#pragma once

#include "graphics/pixel.h"

namespace orva::graphics::reference {

void FillBox(const Surface&, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
void Blit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t sx, int32_t sy,
          int32_t w, int32_t h, bool invert, int32_t x_limit, int32_t y_limit);
void StretchBlit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t dw,
                 int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t x_limit,
                 int32_t y_limit);

}  // namespace orva::graphics::reference
