// The drawing operations as the program calls them: each binds the bitmaps it needs, draws
// through the plain code of raster.h, and adds what it drew on the screen (hBM 0) to the dirty
// rectangle. Coordinates and sizes are signed 32-bit; colours are colour words 0xAARRGGBB
// (ellipses read them with the direct mapping, see pixel.h).
#pragma once

#include <cstdint>

namespace orva {
struct Host;
}

namespace orva::graphics {

// --- Primitives ------------------------------------------------------------------------------
uint32_t GetPixel(Host&, uint32_t hbm, int32_t x, int32_t y);
void SetPixel(Host&, uint32_t hbm, int32_t x, int32_t y, uint32_t colour);
// Returns the previous pattern.
uint64_t SetLinePattern(Host&, uint64_t pattern);
void DrawLine(Host&, uint32_t hbm, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
// `points` holds `count` pairs of little-endian i32 (x, y) in image memory the caller has
// checked; each is read just before its line is drawn, as a plain loop over the image would.
void DrawPolyline(Host&, uint32_t hbm, const uint8_t* points, int32_t count, uint32_t colour);
void DrawRectangle(Host&, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t fill,
                   uint32_t frame);
void DrawEllipse(Host&, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t fill,
                 uint32_t frame);
// Returns how many pixels were set.
uint64_t SetAlpha(Host&, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h, uint64_t key,
                  uint32_t alpha);

// --- Copying ---------------------------------------------------------------------------------
void Blit(Host&, uint32_t dst, int32_t dx, int32_t dy, uint32_t src, int32_t sx, int32_t sy,
          int32_t w, int32_t h, bool invert, int32_t x_limit, int32_t y_limit);
void StretchBlit(Host&, uint32_t dst, int32_t dx, int32_t dy, int32_t dw, int32_t dh, uint32_t src,
                 int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t x_limit, int32_t y_limit);

// --- Colour ----------------------------------------------------------------------------------
void AdjustColours(Host&, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h, int32_t hue,
                   int32_t saturation, int32_t brightness, int32_t contrast);
void DrawColourSquare(Host&, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h, uint8_t hue);

}  // namespace orva::graphics
