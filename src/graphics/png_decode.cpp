// PNG reading through libspng, decoded to 8-bit RGBA in one call straight into the sink's pixels.
#include <spng.h>

#include <memory>

#include "graphics/image_decode.h"
#include "graphics/pixel.h"

namespace orva::graphics {

namespace {

constexpr size_t kChunkLimit = 0x4000000;  // 64 MiB, for one chunk and for all kept chunks

// libspng's read callback: success only with every byte asked for; running out of file is told
// apart from other failures.
int ReadSource(spng_ctx*, void* user, void* out, size_t length) {
  auto* source = static_cast<ByteSource*>(user);
  if (source->Read(out, length) == length) return 0;
  return source->AtEnd() ? SPNG_IO_EOF : SPNG_IO_ERROR;
}

}  // namespace

bool DecodePng(ByteSource& source, PixelSink& sink) {
  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> owner(spng_ctx_new(0), spng_ctx_free);
  spng_ctx* ctx = owner.get();
  if (!ctx) return false;
  // Chunks with a wrong checksum are used as they are, critical ones included: pictures from
  // tools that write bad checksums still load.
  if (spng_set_crc_action(ctx, SPNG_CRC_USE, SPNG_CRC_USE) != 0 ||
      spng_set_chunk_limits(ctx, kChunkLimit, kChunkLimit) != 0 ||
      spng_set_png_stream(ctx, ReadSource, &source) != 0)
    return false;

  spng_ihdr ihdr;
  if (spng_get_ihdr(ctx, &ihdr) != 0) return false;
  // Reads every chunk up to the image data; the palette itself is not needed here.
  spng_plte plte;
  const int plte_result = spng_get_plte(ctx, &plte);
  if (plte_result != 0 && plte_result != SPNG_ECHUNKAVAIL) return false;

  size_t size = 0;
  if (spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) != 0 ||
      size != uint64_t{ihdr.width} * kBytesPerPixel * ihdr.height)
    return false;
  uint8_t* pixels = sink.Begin(ihdr.width, ihdr.height);
  if (!pixels) return false;
  // No decode flags: transparency chunks and gamma are not applied.
  return spng_decode_image(ctx, pixels, size, SPNG_FMT_RGBA8, 0) == 0;
}

}  // namespace orva::graphics
