// Upper-casing of UTF-8 text with full Unicode case mapping (ß becomes SS, ŉ becomes ʼN, ...),
// independent of the user's locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orva::services {

// The upper-case form of `utf8`, or nullopt when it is not well-formed UTF-8 (which the caller
// leaves unchanged). The result may be longer than the input.
std::optional<std::string> UpperCaseUtf8(std::string_view utf8);

}  // namespace orva::services
