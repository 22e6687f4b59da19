#include "services/upper_case.h"

#include <unicode/ucasemap.h>
#include <unicode/utf8.h>

#include <climits>
#include <memory>

namespace orva::services {
namespace {

bool IsWellFormedUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  int32_t n = static_cast<int32_t>(s.size());
  for (int32_t i = 0; i < n;) {
    UChar32 c;
    U8_NEXT(p, i, n, c);  // negative for ill-formed sequences, surrogates and overlongs
    if (c < 0) return false;
  }
  return true;
}

struct CaseMapCloser {
  void operator()(UCaseMap* m) const { ucasemap_close(m); }
};

}  // namespace

std::optional<std::string> UpperCaseUtf8(std::string_view utf8) {
  if (utf8.size() > INT32_MAX / 4 || !IsWellFormedUtf8(utf8)) return std::nullopt;
  UErrorCode err = U_ZERO_ERROR;
  // The root locale: the same mapping for every user (no Turkish dotless i surprises).
  std::unique_ptr<UCaseMap, CaseMapCloser> map(ucasemap_open("", 0, &err));
  if (U_FAILURE(err)) return std::nullopt;

  auto src_len = static_cast<int32_t>(utf8.size());
  // One pass usually suffices: upper-casing rarely grows text by more than a few bytes.
  std::string out(utf8.size() + 16, '\0');
  int32_t n = ucasemap_utf8ToUpper(map.get(), out.data(), static_cast<int32_t>(out.size()),
                                   utf8.data(), src_len, &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    err = U_ZERO_ERROR;
    out.assign(static_cast<size_t>(n), '\0');
    n = ucasemap_utf8ToUpper(map.get(), out.data(), n, utf8.data(), src_len, &err);
  }
  if (U_FAILURE(err)) return std::nullopt;
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace orva::services
