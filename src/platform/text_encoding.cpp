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

}  // namespace orva::platform
