#include "graphics/png_encode.h"

#include <spng.h>

#include <cstdlib>
#include <memory>

namespace orva::graphics {

std::optional<std::vector<uint8_t>> EncodePng(const uint8_t* rgba, uint32_t width,
                                              uint32_t height) {
  if (width == 0 || height == 0 || uint64_t{width} * 4 * height > SIZE_MAX) return std::nullopt;
  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(SPNG_CTX_ENCODER),
                                                          spng_ctx_free);
  if (!ctx) return std::nullopt;
  spng_ihdr ihdr{};
  ihdr.width = width;
  ihdr.height = height;
  ihdr.bit_depth = 8;
  ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  size_t length = static_cast<size_t>(width) * 4 * height;
  if (spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1) != 0 ||
      spng_set_ihdr(ctx.get(), &ihdr) != 0 ||
      spng_encode_image(ctx.get(), rgba, length, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0)
    return std::nullopt;
  int error = 0;
  size_t size = 0;
  std::unique_ptr<void, decltype(&std::free)> buffer(spng_get_png_buffer(ctx.get(), &size, &error),
                                                     std::free);
  if (!buffer || error != 0) return std::nullopt;
  const auto* bytes = static_cast<const uint8_t*>(buffer.get());
  return std::vector<uint8_t>(bytes, bytes + size);
}

}  // namespace orva::graphics
