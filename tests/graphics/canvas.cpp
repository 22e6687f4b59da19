#include "graphics/canvas.h"

#include <cstring>

namespace orva::graphics::testing {

Canvas::Canvas(int32_t w, int32_t h, Pixel fill) {
  const size_t row_bytes = static_cast<size_t>(w) * kBytesPerPixel + kRowSlack;
  memory_.assign(row_bytes * static_cast<size_t>(h + 2 * kGuardRows), kGuard);
  surface_.pixels = memory_.data() + row_bytes * kGuardRows;
  surface_.width = w;
  surface_.height = h;
  surface_.row_bytes = row_bytes;
  surface_.clip = {0, 0, w, h};
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) set(x, y, fill);
}

void Canvas::Scramble(uint32_t seed) {
  uint32_t v = seed * 2654435761u + 1;
  for (int32_t y = 0; y < surface_.height; ++y) {
    for (int32_t x = 0; x < surface_.width; ++x) {
      v = v * 1664525u + 1013904223u;
      uint32_t bits = v ^ (v >> 13);
      std::memcpy(surface_.At(x, y), &bits, 4);
    }
  }
}

std::string Canvas::Grid(const std::map<uint32_t, char>& legend) const {
  std::string out;
  for (int32_t y = 0; y < surface_.height; ++y) {
    for (int32_t x = 0; x < surface_.width; ++x) {
      auto it = legend.find(ColourWord(at(x, y)));
      out += it == legend.end() ? '?' : it->second;
    }
    out += '\n';
  }
  return out;
}

std::string Canvas::Mask() const {
  std::string out;
  for (int32_t y = 0; y < surface_.height; ++y) {
    for (int32_t x = 0; x < surface_.width; ++x) out += at(x, y).p0 ? '#' : '.';
    out += '\n';
  }
  return out;
}

bool Canvas::GuardsIntact() const {
  const size_t row_bytes = surface_.row_bytes;
  const size_t pixel_bytes = static_cast<size_t>(surface_.width) * kBytesPerPixel;
  for (size_t i = 0; i < memory_.size(); ++i) {
    size_t row = i / row_bytes, col = i % row_bytes;
    bool in_pixels = row >= static_cast<size_t>(kGuardRows) &&
                     row < static_cast<size_t>(kGuardRows + surface_.height) && col < pixel_bytes;
    if (!in_pixels && memory_[i] != kGuard) return false;
  }
  return true;
}

bool Canvas::SamePixels(const Canvas& other) const {
  if (other.surface_.width != surface_.width || other.surface_.height != surface_.height)
    return false;
  for (int32_t y = 0; y < surface_.height; ++y) {
    if (std::memcmp(surface_.At(0, y), other.surface_.At(0, y),
                    static_cast<size_t>(surface_.width) * kBytesPerPixel) != 0)
      return false;
  }
  return true;
}

}  // namespace orva::graphics::testing
