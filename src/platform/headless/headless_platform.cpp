#include "platform/headless/headless_platform.h"

namespace orva::platform {

void HeadlessPlatform::Alert(std::string_view utf8) {
  alerts_.emplace_back(utf8);
  if (err_) {
    std::fprintf(err_, "alert: %.*s\n", static_cast<int>(utf8.size()), utf8.data());
    std::fflush(err_);
  }
}

void HeadlessPlatform::SystemLog(std::string_view text) {
  log_.emplace_back(text);
  if (err_) {
    std::fprintf(err_, "log: %.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(err_);
  }
}

}  // namespace orva::platform
