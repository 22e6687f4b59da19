#include "graphics/canvas.h"

namespace orva::graphics::testing {

namespace {
constexpr uint8_t kGuard = 0xA5;
constexpr size_t kGuardRows = 2, kRowSlack = 12;
}  // namespace

Canvas::Canvas(int32_t w, int32_t h, Pixel fill) {
  const size_t row_bytes = static_cast<size_t>(w) * 4 + kRowSlack;
  memory_.assign(row_bytes * (h + 2 * kGuardRows), kGuard);
  surface_ = {memory_.data() + row_bytes * kGuardRows, w, h, row_bytes, {0, 0, w, h}};
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) set(x, y, fill);
}

void Canvas::Scramble(uint32_t seed) {
  uint32_t v = seed * 2654435761u + 1;
  for (int32_t y = 0; y < surface_.height; ++y)
    for (int32_t x = 0; x < surface_.width; ++x) {
      v = v * 1664525u + 1013904223u;
      set(x, y, {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v ^ v >> 13)});
    }
}

std::string Canvas::Grid(const std::map<uint32_t, char>& legend) const {
  std::string out;
  for (int32_t y = 0; y < surface_.height; ++y, out += '\n')
    for (int32_t x = 0; x < surface_.width; ++x) {
      auto it = legend.find(ColourWord(at(x, y)));
      out += it == legend.end() ? '?' : it->second;
    }
  return out;
}

std::string Canvas::Mask() const {
  std::string out;
  for (int32_t y = 0; y < surface_.height; ++y, out += '\n')
    for (int32_t x = 0; x < surface_.width; ++x) out += at(x, y).p0 ? '#' : '.';
  return out;
}

bool Canvas::GuardsIntact() const {
  const size_t row_bytes = surface_.row_bytes, pixel_bytes = size_t(surface_.width) * 4;
  for (size_t i = 0; i < memory_.size(); ++i) {
    const size_t row = i / row_bytes;
    const bool pixel =
        row >= kGuardRows && row < kGuardRows + surface_.height && i % row_bytes < pixel_bytes;
    if (!pixel && memory_[i] != kGuard) return false;
  }
  return true;
}

}  // namespace orva::graphics::testing
