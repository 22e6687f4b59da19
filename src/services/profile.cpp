#include "services/syscall.h"

namespace orva::services {

// Not built yet: every command is unknown.
void ProfileService(Host& host, SysCall&, uint32_t) { UnknownCommand(host); }

}  // namespace orva::services
