#include "platform/text_encoding.h"

#include <unicode/ucnv.h>

#include <vector>

namespace orva::platform {

std::string MacRomanToUtf8(std::string_view bytes) {
  if (bytes.empty()) return {};
  UErrorCode status = U_ZERO_ERROR;
  // A Mac OS Roman byte becomes at most 3 UTF-8 bytes.
  std::vector<char> out(bytes.size() * 3 + 1);
  int32_t n = ucnv_convert("UTF-8", "macintosh", out.data(), static_cast<int32_t>(out.size()),
                           bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return std::string(bytes);  // ICU data without the table: pass through
  return std::string(out.data(), static_cast<size_t>(n));
}

namespace {

// The length of the well-formed character at the start of `s`, or 0.
size_t CharacterLength(std::string_view s) {
  uint8_t c = static_cast<uint8_t>(s[0]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || n > s.size()) return 0;
  uint32_t cp = n == 1 ? c : c & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    uint8_t b = static_cast<uint8_t>(s[k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (b & 0x3F);
  }
  static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    size_t n = CharacterLength(bytes);
    if (n == 0) return false;
    bytes.remove_prefix(n);
  }
  return true;
}

std::string ValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    size_t n = CharacterLength(bytes);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      n = 1;
    } else {
      out.append(bytes.substr(0, n));
    }
    bytes.remove_prefix(n);
  }
  return out;
}

}  // namespace orva::platform
