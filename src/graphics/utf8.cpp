#include "graphics/utf8.h"

namespace orva::graphics {

namespace {

bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

}  // namespace

bool DecodeUtf8(std::string_view text, std::u32string& out, size_t max_chars) {
  out.clear();
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n && out.size() < max_chars) {
    const uint8_t b = p[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int extra;
    char32_t cp, min;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, cp = b & 0x07, min = 0x10000;
    } else {
      out.clear();
      return false;
    }
    if (n - i <= static_cast<size_t>(extra)) {
      out.clear();
      return false;
    }
    for (int k = 1; k <= extra; ++k) {
      if (!IsContinuation(p[i + k])) {
        out.clear();
        return false;
      }
      cp = cp << 6 | (p[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.clear();
      return false;
    }
    out.push_back(cp);
    i += 1 + extra;
  }
  return true;
}

size_t Utf8ByteCount(std::string_view text, size_t chars) {
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  for (size_t c = 0; c < chars && i < n; ++c) {
    const uint8_t b = p[i];
    size_t len;
    if (b == 0) break;
    if (b < 0x80) {
      len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      len = 4;
    } else {
      break;  // a stray continuation byte or 0xF8-0xFF
    }
    size_t k = 1;
    while (k < len && i + k < n && IsContinuation(p[i + k])) ++k;
    i += k;  // a sequence cut short counts only its bytes; the walk goes on from there
  }
  return i;
}

}  // namespace orva::graphics
