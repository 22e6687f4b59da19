#include "host/window_services.h"

#include "services/syscall.h"

namespace orva::host {

// Not built yet: every command is unknown.
void WindowService(Host& host, services::SysCall&, uint32_t) { services::UnknownCommand(host); }

}  // namespace orva::host
