// A small bitmap owned by a test: its pixels sit inside a guard band of known bytes (rows above
// and below, bytes past each row's end), so a test can prove that drawing stayed inside. Pixels
// are shown and compared as grids of characters, one per pixel.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "graphics/pixel.h"

namespace orva::graphics::testing {

class Canvas {
 public:
  // A w x h canvas, every pixel `fill`, clip = whole bitmap.
  Canvas(int32_t w, int32_t h, Pixel fill = {0, 0, 0, 0});

  const Surface& surface() const { return surface_; }
  Surface& surface() { return surface_; }
  void SetClip(int32_t x, int32_t y, int32_t w, int32_t h) { surface_.clip = {x, y, w, h}; }

  Pixel at(int32_t x, int32_t y) const { return LoadPixel(surface_.At(x, y)); }
  void set(int32_t x, int32_t y, Pixel p) { StorePixel(surface_.At(x, y), p); }
  // Fills every pixel from a deterministic pseudo-random sequence.
  void Scramble(uint32_t seed);

  // One line per row, one character per pixel: the legend's character for the pixel's colour
  // word (standard mapping), '?' for a colour not in the legend.
  std::string Grid(const std::map<uint32_t, char>& legend) const;
  // '#' wherever the pixel's byte p0 is non-zero, '.' elsewhere.
  std::string Mask() const;

  bool GuardsIntact() const;
  bool SamePixels(const Canvas& other) const;

 private:
  static constexpr uint8_t kGuard = 0xA5;
  static constexpr int32_t kGuardRows = 2;
  static constexpr size_t kRowSlack = 12;  // guard bytes after each row

  std::vector<uint8_t> memory_;
  Surface surface_;
};

}  // namespace orva::graphics::testing
