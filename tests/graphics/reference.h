// Slow, obvious versions of the optimised drawing paths, written straight from the rules (the
// tile loops as nested loops, every blend as its formula, every line point walked), for the
// fast code to be compared against bit for bit. Only for small arguments: they do not skip
// anything.
#pragma once

#include <cstdint>

#include "graphics/pixel.h"

namespace orva::graphics::reference {

void FillBox(const Surface&, int64_t x, int64_t y, int64_t w, int64_t h, uint32_t colour);
void Blit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t sx, int32_t sy,
          int32_t w, int32_t h, bool invert, int32_t x_limit, int32_t y_limit);
void StretchBlit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t dw,
                 int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t x_limit,
                 int32_t y_limit);
// Returns whether the line counted as drawn (it adds a dirty rectangle).
bool DrawLine(const Surface&, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour,
              uint64_t& pattern);

}  // namespace orva::graphics::reference
