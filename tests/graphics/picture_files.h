// Picture files for the image tests, built here rather than committed: BMPs with any header
// fields, PNGs through the host's own encoder, and ways to damage them.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/png_encode.h"
#include "vm/image.h"

namespace orva::graphics::testing {

struct BmpFields {
  int32_t width = 3, height = 2;
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t image_size = 0;  // 0: rows by the BMP rule
  uint32_t data_offset = 54;
  int64_t file_size = -1;   // -1: the real length
  uint32_t row_length = 0;  // 0: the BMP rule; bytes stored per row
};

// A BMP whose stored rows hold byte (row * 31 + column * 7 + 1) at each position, padding included.
inline std::vector<uint8_t> BuildBmp(const BmpFields& f) {
  const uint32_t rows = f.height < 0 ? -f.height : f.height;
  const uint32_t row = f.row_length ? f.row_length : (uint32_t(f.bits) * f.width + 31) / 32 * 4;
  std::vector<uint8_t> b(f.data_offset + size_t{row} * rows, 0);
  b[0] = 'B';
  b[1] = 'M';
  vm::St32(&b[2], f.file_size < 0 ? uint32_t(b.size()) : uint32_t(f.file_size));
  vm::St32(&b[10], f.data_offset);
  const size_t info = 14;
  vm::St32(&b[info], 40);
  vm::St32(&b[info + 4], uint32_t(f.width));
  vm::St32(&b[info + 8], uint32_t(f.height));
  vm::St16(&b[info + 12], 1);
  vm::St16(&b[info + 14], f.bits);
  vm::St32(&b[info + 16], f.compression);
  vm::St32(&b[info + 20], f.image_size);
  for (uint32_t r = 0; r < rows; ++r)
    for (uint32_t i = 0; i < row; ++i) b[f.data_offset + r * row + i] = uint8_t(r * 31 + i * 7 + 1);
  return b;
}

// A PNG of w x h pixels whose bytes, red first, are (i * 13 + 5) for byte i of the RGBA data.
inline std::vector<uint8_t> BuildPng(uint32_t w, uint32_t h, std::vector<uint8_t>* rgba = nullptr) {
  std::vector<uint8_t> pixels(size_t{w} * 4 * h);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 13 + 5);
  if (rgba) *rgba = pixels;
  return *EncodePng(pixels.data(), w, h);
}

// The chunks of a PNG: where each starts (its length field) and its data length.
struct PngChunk {
  size_t at;
  uint32_t length;
};
inline std::vector<PngChunk> PngChunks(const std::vector<uint8_t>& png) {
  std::vector<PngChunk> chunks;
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t length =
        uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
    chunks.push_back({at, length});
    at += 12 + size_t{length};
  }
  return chunks;
}

// Sets IHDR's width and height (big-endian); its checksum is left wrong.
inline void SetPngSize(std::vector<uint8_t>& png, uint32_t w, uint32_t h) {
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = uint8_t(w >> (24 - 8 * i));
    png[20 + i] = uint8_t(h >> (24 - 8 * i));
  }
}

}  // namespace orva::graphics::testing
