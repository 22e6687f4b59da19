// The file finder's wildcard matcher: "*" matches any run of bytes (also none), "?" exactly one
// byte, anything else itself with ASCII letters compared without regard to case. Bytes, not
// characters: "?" matches one byte of a multi-byte UTF-8 character.
#pragma once

#include <string_view>

namespace orva::services {

// True when `name` matches `pattern`. Time O(|name| * |pattern|) at worst: only the latest "*"
// is ever returned to, so patterns such as "*a*a*a*b" cannot make it exponential.
bool WildcardMatch(std::string_view name, std::string_view pattern);

}  // namespace orva::services
