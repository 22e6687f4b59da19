// Any file as a BMP: the reader fails or gives width * height pixels of 4 bytes, writing only
// inside the buffer its sink handed out (the sanitizers watch the writes).
#include "graphics/image_decode.h"
#include "harness.h"

ORVA_FUZZ_TARGET(bmp_reader) {
  using namespace orva::graphics;
  MemorySource source(input.data(), input.size());
  BufferSink sink(16 << 20);
  if (DecodeBmp(source, sink))
    FUZZ_CHECK(sink.pixels.size() == uint64_t{sink.width} * sink.height * 4);
}
