#include <cstdio>

#include "services/syscall.h"

namespace orva::services {

void UnknownCommand(Host& host) {
  char text[1024];
  std::snprintf(text, sizeof text, "Unknown SYS command at 0x%8.8X. Ack!", host.mem.PC());
  ShowMessageBox(host, text);
}

}  // namespace orva::services
