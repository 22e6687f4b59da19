// The one-value formatter behind SYS_PRTFMT. The format comes from the program, so it is parsed
// here and never handed to the C library as it stands: only a conversion rebuilt from parts that
// passed the checks below reaches snprintf.
//
// Accepted formats: literal text, "%%", and at most one conversion
//
//   % [flags -+ #0]* [width] [.precision] [length] kind
//
// whose length and kind agree with the argument size:
//
//   size 8   "ll" or "l" (both 64-bit where these programs were written), then d u x X
//   size 4   no length modifier, then d i u o x X c
//   size 1   no length modifier, then s (the argument is the address of an image string)
//
// Refused (nothing is appended): "%n", floating and pointer kinds, a second conversion, "*"
// widths or precisions, widths or precisions above kMaxFieldWidth, a lone "%" at the end, any
// other length modifier, a missing "ll"/"l" for size 8, and the combinations that printf leaves
// undefined ("#" with d i u c s, "0" with c s, a precision with c).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orva::services {

inline constexpr uint32_t kMaxFieldWidth = 4096;

struct PrintConversion {
  std::string flags;  // as written, each of "-+ #0"
  std::optional<uint32_t> width;
  std::optional<uint32_t> precision;
  char kind = 0;          // d i u o x X c s
  uint32_t size = 0;      // the argument size it was accepted for
  std::string directive;  // the conversion for snprintf, rebuilt from the checked parts above
};

struct PrintFormat {
  std::string before;  // literal text before the conversion, "%%" already folded to "%"
  std::optional<PrintConversion> conversion;
  std::string after;  // literal text after it
};

// The parsed format, or nullopt when it is refused for an argument of `size` bytes (8, 4 or 1;
// the caller deals with other sizes).
std::optional<PrintFormat> ParsePrintFormat(std::string_view format, uint32_t size);

// The text of `format` with `value` (sizes 8 and 4; a 4-byte value uses the low 32 bits) or
// `text` (size 1) in place of the conversion. For kind s the caller passes the string already cut
// to the precision, if any.
std::string RenderPrintFormat(const PrintFormat& format, uint64_t value, std::string_view text);

}  // namespace orva::services
