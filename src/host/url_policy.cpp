#include "host/url_policy.h"

#include <algorithm>

namespace orva::host {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool IsSchemeChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

}  // namespace

std::optional<std::string> UrlRefusal(std::string_view url) {
  // Spaces and control characters have no place in a URL; a desktop handler could read them as
  // a second argument or a second line.
  if (std::any_of(url.begin(), url.end(),
                  [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; }))
    return "not a URL (spaces or control characters)";
  size_t colon = url.find(':');
  bool scheme_ok = colon != std::string_view::npos && colon > 0 && Lower(url[0]) >= 'a' &&
                   Lower(url[0]) <= 'z' &&
                   std::all_of(url.begin(), url.begin() + colon, IsSchemeChar);
  if (!scheme_ok) return "no scheme";
  std::string scheme(colon, '\0');
  std::transform(url.begin(), url.begin() + colon, scheme.begin(), Lower);
  std::string_view rest = url.substr(colon + 1);
  if (scheme == "mailto")
    return rest.empty() ? std::optional<std::string>("no address") : std::nullopt;
  if (scheme != "http" && scheme != "https")
    return "scheme " + scheme + " is not http, https or mailto";
  if (!rest.starts_with("//") || rest.size() == 2 || rest[2] == '/' || rest[2] == '?' ||
      rest[2] == '#')
    return "no host";
  return std::nullopt;
}

}  // namespace orva::host
