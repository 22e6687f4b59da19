// A small bitmap owned by a test, inside a guard band (rows above and below, bytes past each
// row), so a test can prove that drawing stayed in its pixels. Pixels compare as character grids.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "graphics/pixel.h"

namespace orva::graphics::testing {

class Canvas {
 public:
  Canvas(int32_t w, int32_t h, Pixel fill = {0, 0, 0, 0});

  Surface& surface() { return surface_; }
  void SetClip(int32_t x, int32_t y, int32_t w, int32_t h) { surface_.clip = {x, y, w, h}; }
  Pixel at(int32_t x, int32_t y) const { return LoadPixel(surface_.At(x, y)); }
  void set(int32_t x, int32_t y, Pixel p) { StorePixel(surface_.At(x, y), p); }
  void Scramble(uint32_t seed);  // deterministic pseudo-random pixels

  // One line per row: the legend's character for each pixel's colour word, '?' if absent.
  std::string Grid(const std::map<uint32_t, char>& legend) const;
  std::string Mask() const;  // '#' where p0 is non-zero, '.' elsewhere
  bool GuardsIntact() const;
  bool operator==(const Canvas& o) const { return memory_ == o.memory_; }

 private:
  std::vector<uint8_t> memory_;
  Surface surface_;
};

}  // namespace orva::graphics::testing
