#include "services/wildcard.h"

#include <cstddef>

namespace orva::services {
namespace {

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameChar(char pattern_char, char name_char) {
  return pattern_char == '?' || FoldAscii(pattern_char) == FoldAscii(name_char);
}

}  // namespace

bool WildcardMatch(std::string_view name, std::string_view pattern) {
  size_t n = 0, p = 0;
  // Before the first "*" every byte must match in place.
  while (n < name.size() && (p >= pattern.size() || pattern[p] != '*')) {
    if (p >= pattern.size() || !SameChar(pattern[p], name[n])) return false;
    ++n, ++p;
  }
  // After a "*": on a mismatch, return to just past the latest "*" and let it swallow one more
  // byte of the name.
  size_t star_p = 0, star_n = 0;
  bool have_star = false;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      if (++p == pattern.size()) return true;  // a trailing "*" takes the rest of the name
      have_star = true;
      star_p = p;
      star_n = n + 1;
    } else if (p < pattern.size() && SameChar(pattern[p], name[n])) {
      ++n, ++p;
    } else if (have_star) {
      p = star_p;
      n = star_n++;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace orva::services
