// The picture readers, over any ByteSource and into any PixelSink, so that the program's loads
// (graphics/image_files.h), the tests and fuzzing targets run the same code:
//
//   graphics::MemorySource source(data, size);
//   graphics::BufferSink sink(64 << 20);
//   graphics::DecodeImage(source, sink);
//
// Pixels come out in the bitmap format: 4 bytes per pixel, rows top first without padding.
// PNG gives red, green, blue, alpha in p0 to p3; BMP moves the file's bytes position for position
// (blue, green, red, fourth byte in p0 to p3; 255 in p3 for 24-bit files). Programs and stored
// pictures rely on these orders, also where they exchange red and blue between the formats.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/image_source.h"

namespace orva::graphics {

// Receives the picture's size once the reader knows it, before any pixel is decoded, and answers
// where the pixels go: width * 4 * height bytes, rows top first. Null refuses the picture, and
// the reader then allocates nothing more. Begin is called at most once per read.
class PixelSink {
 public:
  virtual ~PixelSink() = default;
  virtual uint8_t* Begin(uint32_t width, uint32_t height) = 0;
};

// Keeps the pixels in host memory, refusing pictures of more than `max_bytes` bytes.
class BufferSink : public PixelSink {
 public:
  explicit BufferSink(uint64_t max_bytes) : max_bytes_(max_bytes) {}
  uint8_t* Begin(uint32_t width, uint32_t height) override;

  uint32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;

 private:
  uint64_t max_bytes_;
};

// Each reads one picture from the source's current position. False on any failure (a short or
// malformed file, an unsupported kind of BMP, a refused size); the sink may then hold part of a
// picture, which the caller discards.
bool DecodeBmp(ByteSource&, PixelSink&);
bool DecodePng(ByteSource&, PixelSink&);

// Reads the first 20 bytes (fewer fail), picks the reader by them ("BM", or the PNG signature)
// and reads the picture from the start of the source.
bool DecodeImage(ByteSource&, PixelSink&);

}  // namespace orva::graphics
