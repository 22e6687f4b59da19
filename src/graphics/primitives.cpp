// Pixels, lines, rectangles, ellipses and alpha, as the program calls them.
#include <algorithm>
#include <utility>

#include "core/host.h"
#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/raster.h"
#include "vm/image.h"

namespace orva::graphics {

namespace {

// Coordinates derived from the program's (x + w - 1 and the like) are held to the 32-bit range
// rather than wrapped, so that a frame runs the same way as the fill it surrounds.
int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

void ReportDrawn(Host& host, uint32_t hbm, const Box& b) {
  if (hbm == kScreen) AddDirtyRect(host, b.left, b.top, b.width(), b.height());
}

}  // namespace

uint32_t GetPixel(Host& host, uint32_t hbm, int32_t x, int32_t y) {
  SrcBinding src(host, hbm);
  return GetPixel(src.surface(), x, y);
}

void SetPixel(Host& host, uint32_t hbm, int32_t x, int32_t y, uint32_t colour) {
  {
    SrcBinding src(host, hbm);
    SetPixel(src.surface(), x, y, colour);
  }
  if (hbm == kScreen) AddDirtyRect(host, x, y, 1, 1);  // also when the point was outside
}

uint64_t SetLinePattern(Host& host, uint64_t pattern) {
  return std::exchange(host.gfx.line_pattern, pattern);
}

void DrawLine(Host& host, uint32_t hbm, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
              uint32_t colour) {
  std::optional<Box> drawn;
  {
    DstBinding dst(host, hbm);
    drawn = DrawLine(dst.surface(), x1, y1, x2, y2, ColourBlend(StandardMapping(colour)),
                     host.gfx.line_pattern);
  }
  if (drawn) ReportDrawn(host, hbm, *drawn);
}

void DrawPolyline(Host& host, uint32_t hbm, const uint8_t* points, int32_t count, uint32_t colour) {
  auto point = [&](int32_t i, int32_t& x, int32_t& y) {
    x = static_cast<int32_t>(vm::Ld32(points + 8 * static_cast<size_t>(i)));
    y = static_cast<int32_t>(vm::Ld32(points + 8 * static_cast<size_t>(i) + 4));
  };
  for (int32_t i = 0; i + 1 < count; ++i) {
    int32_t x1, y1, x2, y2;
    point(i, x1, y1);
    point(i + 1, x2, y2);
    DrawLine(host, hbm, x1, y1, x2, y2, colour);
  }
}

void DrawRectangle(Host& host, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h,
                   uint32_t fill, uint32_t frame) {
  // With a frame, the fill stays off the frame's pixels: a translucent fill and frame never
  // overlap.
  const int64_t b = AlphaOf(frame) != 0 ? 1 : 0;
  {
    DstBinding dst(host, hbm);
    if (AlphaOf(fill) != 0) {
      FillBox(dst.surface(), Box{x + b, y + b, int64_t{x} + w - b, int64_t{y} + h - b},
              ColourBlend(StandardMapping(fill)));
    }
  }
  if (b) {
    const int32_t right = Clamp32(int64_t{x} + w - 1), bottom = Clamp32(int64_t{y} + h - 1);
    DrawLine(host, hbm, x, y, right, y, frame);
    DrawLine(host, hbm, right, y, right, bottom, frame);
    DrawLine(host, hbm, right, bottom, x, bottom, frame);
    DrawLine(host, hbm, x, bottom, x, y, frame);
  }
  if (hbm == kScreen) AddDirtyRect(host, x, y, w, h);
}

void DrawEllipse(Host& host, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h,
                 uint32_t fill, uint32_t frame) {
  const uint32_t outline = AlphaOf(frame) != 0 ? frame : fill;
  if (w == 0 || h == 0) {
    // A flat box is a line, drawn as lines are (through the pattern, standard mapping).
    return DrawLine(host, hbm, x, y, Clamp32(int64_t{x} + w), Clamp32(int64_t{y} + h), outline);
  }
  {
    DstBinding dst(host, hbm);
    DrawEllipse(dst.surface(), x, y, w, h, ColourBlend(DirectMapping(outline)),
                ColourBlend(DirectMapping(fill)));
  }
  if (hbm == kScreen) AddDirtyRect(host, x, y, int64_t{w} + 1, int64_t{h} + 1);
}

uint64_t SetAlpha(Host& host, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h,
                  uint64_t key, uint32_t alpha) {
  uint64_t count;
  Box area;
  {
    SrcBinding src(host, hbm);
    const Surface& s = src.surface();
    if (!s.drawable()) return 0;
    // Cut on all four sides; the dirty rectangle below takes the cut edges even when they cross.
    const Box clip = s.clip_box();
    area = {std::max<int64_t>(x, clip.left), std::max<int64_t>(y, clip.top),
            std::min(int64_t{x} + w, clip.right), std::min(int64_t{y} + h, clip.bottom)};
    count = SetAlpha(s, area, key, static_cast<uint8_t>(alpha));
  }
  if (hbm == kScreen) AddDirtyRect(host, area.left, area.top, area.width(), area.height());
  return count;
}

}  // namespace orva::graphics
