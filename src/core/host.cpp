#include "core/host.h"

#include "platform/text_encoding.h"

namespace orva {

Host::~Host() { CloseAllFiles(*this); }

void ShowMessageBox(Host& host, std::string_view text) {
  constexpr size_t kAlertBytes = 1023;
  size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (text.size() > kAlertBytes) text = text.substr(0, kAlertBytes);
  host.last_alert.assign(text);
  host.platform.alerts().Alert(platform::MacRomanToUtf8(text));
}

void Fatal(Host& host, std::string_view text) {
  ShowMessageBox(host, text);
  ExitProcess(host, 1);
}

void ExitProcess(Host& host, int status) { host.platform.Exit(status); }

}  // namespace orva
