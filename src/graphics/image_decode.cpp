#include "graphics/image_decode.h"

#include <cstring>

#include "graphics/pixel.h"

namespace orva::graphics {

uint8_t* BufferSink::Begin(uint32_t w, uint32_t h) {
  const uint64_t bytes = uint64_t{w} * kBytesPerPixel * h;
  if (w == 0 || h == 0 || bytes > max_bytes_) return nullptr;
  width = w;
  height = h;
  pixels.assign(bytes, 0);
  return pixels.data();
}

bool DecodeImage(ByteSource& source, PixelSink& sink) {
  static constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  uint8_t head[20];
  if (source.Read(head, sizeof head) != sizeof head || !source.Seek(0)) return false;
  if (head[0] == 'B' && head[1] == 'M') return DecodeBmp(source, sink);
  if (std::memcmp(head, kPngSignature, sizeof kPngSignature) == 0) return DecodePng(source, sink);
  return false;
}

}  // namespace orva::graphics
