// Conversions between the text encodings that meet at the platform boundary.
#pragma once

#include <string>
#include <string_view>

namespace orva::platform {

// Reads `bytes` as Mac OS Roman (the encoding of the program's alert and URL texts) and returns
// them as UTF-8. Every byte has a character, so nothing is lost.
std::string MacRomanToUtf8(std::string_view bytes);

// Whether `bytes` are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsUtf8(std::string_view bytes);

// `bytes` as well-formed UTF-8: each byte that does not belong to a well-formed character
// becomes U+FFFD. Texts from the program go through it before the desktop sees them.
std::string ValidUtf8(std::string_view bytes);

}  // namespace orva::platform
