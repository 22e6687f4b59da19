// PNG encoding of 8-bit RGBA pixels into memory, for everything that writes a PNG file: the
// program's SavePng and the host's screenshots. The file is then written with one write.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace orva::graphics {

// Encodes `height` rows of `width` pixels, 4 bytes each in the order red, green, blue, alpha,
// stored without padding. nullopt when the encoder refuses (a zero or oversized side).
std::optional<std::vector<uint8_t>> EncodePng(const uint8_t* rgba, uint32_t width, uint32_t height);

}  // namespace orva::graphics
