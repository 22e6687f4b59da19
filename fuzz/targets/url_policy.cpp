// Any text as a URL a program asks the desktop to open: what is let through is a web page with a
// host or a mail address, with nothing a desktop handler could take for a second argument.
#include <algorithm>
#include <cctype>

#include "harness.h"
#include "host/url_policy.h"

ORVA_FUZZ_TARGET(url_policy) {
  std::string_view url = orva::fuzz::Text(input);
  if (auto why = orva::host::UrlRefusal(url)) {
    FUZZ_CHECK(!why->empty());
    return;
  }
  FUZZ_CHECK(std::none_of(url.begin(), url.end(), [](char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
  }));
  std::string lower(url);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool web = lower.starts_with("http://") || lower.starts_with("https://");
  FUZZ_CHECK(web || (lower.starts_with("mailto:") && lower.size() > 7));
  if (web) {
    std::string_view host = std::string_view(lower).substr(lower.find("//") + 2);
    FUZZ_CHECK(!host.empty() && host[0] != '/' && host[0] != '?' && host[0] != '#');
  }
}
