// Base64 text for the file services' writer: the standard alphabet, "=" padding, no line breaks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orva::services {

// Encodes one group of `n` (1 to 3) bytes into out[0..n] and returns n + 1, the number of
// alphabet characters; the padding is the caller's.
size_t EncodeBase64Group(const uint8_t* bytes, size_t n, char out[4]);

}  // namespace orva::services
