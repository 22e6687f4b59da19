// Which URLs a program may have the desktop open (window services command 17). A program image
// comes from a stranger, and the desktop's handlers open far more than web pages (local files,
// other programs' custom schemes), so only web pages and mail are opened.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orva::host {

// Nothing when `url` may be opened: http or https with a host, or mailto. Otherwise why not,
// as a short phrase for the system log.
std::optional<std::string> UrlRefusal(std::string_view url);

}  // namespace orva::host
