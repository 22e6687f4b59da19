// Drawing as plain code over pixel memory: every operation here takes a Surface (pixels,
// geometry, clip) and knows nothing of handles, bindings, the heap or the dirty rectangle. The
// procedures the program calls (drawing.h) open the bindings, call these, and report what they
// drew on the screen.
//
// Coordinates and sizes are the program's signed 32-bit values. Anything derived from them
// (x + w, the end of a tile run, ...) is computed in 64 bits, so no argument can overflow its
// way past a clip test. Only where the drawing rule itself is defined by 32-bit wrapping
// arithmetic (the ellipse's decision variables) is that arithmetic kept, on unsigned values.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "graphics/blend.h"
#include "graphics/pixel.h"

namespace orva::graphics {

// --- Single pixels (bitmap bounds only; the clip rectangle is not consulted) -----------------

// The colour word of pixel (x, y), or 0 outside the bitmap.
uint32_t GetPixel(const Surface&, int32_t x, int32_t y);
// The colour blend of `colour` (standard mapping) at (x, y); nothing outside the bitmap.
void SetPixel(const Surface&, int32_t x, int32_t y, uint32_t colour);

// --- Lines -----------------------------------------------------------------------------------

// Draws the line from (x1, y1) to (x2, y2) through the line pattern: every pixel considered
// takes the pattern's top bit and rotates the pattern left by one; it is blended when the bit
// was 1. Horizontal, vertical and single-point lines consider only their clipped range;
// other lines walk Bresenham's steps and consider only the points inside the clip rectangle.
// Returns the area to report as drawn (the clipped run, or the whole unclipped box of a
// slanted line), or nothing when the line missed the clip rectangle entirely.
std::optional<Box> DrawLine(const Surface&, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                            const ColourBlend&, uint64_t& pattern);

// --- Areas -----------------------------------------------------------------------------------

// Blends every pixel of `area` inside the clip rectangle, row by row.
void FillBox(const Surface&, Box area, const ColourBlend&);

// Sets p3 to `alpha` inside `area` (cut to the clip rectangle): with the key all ones, on every
// pixel whose alpha differs; otherwise on every pixel whose colour bytes equal the key's low 24
// bits (standard mapping). Returns how many pixels were set.
uint64_t SetAlpha(const Surface&, Box area, uint64_t key, uint8_t alpha);

// The ellipse inscribed in the w x h box at (x, y), w and h non-zero: a one-pixel outline, and
// the inside filled when `fill` is visible. Every pixel is blended at most once for boxes up to
// 59 x 59 (and in practice far beyond); see ellipse.cpp for the arithmetic.
void DrawEllipse(const Surface&, int32_t x, int32_t y, int32_t w, int32_t h,
                 const ColourBlend& outline, const ColourBlend& fill);

// --- Copying ---------------------------------------------------------------------------------

// The tiled area a copy covers: columns dx up to x_limit (or dx + tile_w when x_limit is 0),
// rows likewise; tile (i, j) of the source repeats every tile_w x tile_h pixels from (dx, dy).
// Tiles that start at or beyond a non-zero limit are never drawn, so with a limit at or before
// the start nothing is covered.
Box TiledArea(int32_t dx, int32_t dy, int64_t tile_w, int64_t tile_h, int32_t x_limit,
              int32_t y_limit);

// Copies the w x h source block at (sx, sy) to (dx, dy) with the copy blend, repeated up to the
// limits (0: no repetition). Only the destination is clipped; destination pixels whose source
// lies outside the source bitmap are skipped. Pixels are visited row by row, left to right, so a
// copy within one bitmap reads what earlier pixels of the same copy wrote.
void Blit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t sx, int32_t sy,
          int32_t w, int32_t h, bool invert, int32_t x_limit, int32_t y_limit);

// Resamples the sw x sh source block at (sx, sy) to a dw x dh destination block at (dx, dy) with
// an area-weighted box filter in 1/32-pixel steps, repeated up to the limits. All sizes >= 1.
// `spans` is scratch memory kept by the caller between calls.
struct StretchSpan;
void StretchBlit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t dw,
                 int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t x_limit,
                 int32_t y_limit, std::vector<StretchSpan>& spans);

struct StretchSpan {
  int64_t start = 0, end = 0;  // the source span in 1/32 pixels
};

// --- Colour ----------------------------------------------------------------------------------

// Rebuilds every pixel of `area` (already cut to the clip rectangle) from its hue, saturation
// and value, each replaced or adjusted as colour.cpp describes; alpha is kept.
void AdjustColours(const Surface&, Box area, int32_t hue, int32_t saturation, int32_t brightness,
                   int32_t contrast);

// Paints the saturation-by-value square of one hue into the |w| x |h| box at (x, y): saturation
// grows along x, value along y (mirrored when w or h is negative). Pixels are replaced, opaque.
void DrawColourSquare(const Surface&, int32_t x, int32_t y, int32_t w, int32_t h, uint8_t hue);

// Colour word <-> HSV word (hue 0-251 in bits 0-7, saturation 8-15, value 16-23, alpha kept).
uint32_t RgbToHsv(uint32_t colour);
uint32_t HsvToRgb(uint32_t hsv);

}  // namespace orva::graphics
