// Conversions between the text encodings that meet at the platform boundary.
#pragma once

#include <string>
#include <string_view>

namespace orva::platform {

// Reads `bytes` as Mac OS Roman (the encoding of the program's alert and URL texts) and returns
// them as UTF-8. Every byte has a character, so nothing is lost.
std::string MacRomanToUtf8(std::string_view bytes);

}  // namespace orva::platform
