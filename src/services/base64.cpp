#include "services/base64.h"

namespace orva::services {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

size_t EncodeBase64Group(const uint8_t* bytes, size_t n, char out[4]) {
  uint32_t v = 0;
  for (size_t i = 0; i < 3; ++i) v = (v << 8) | (i < n ? bytes[i] : 0u);
  for (size_t i = 0; i <= n; ++i) out[i] = kAlphabet[(v >> (18 - 6 * i)) & 63];
  return n + 1;
}

}  // namespace orva::services
