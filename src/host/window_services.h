// Service group 7: window and system.
#pragma once

#include <cstdint>

namespace orva {
struct Host;
namespace services {
class SysCall;
}
}  // namespace orva

namespace orva::host {

void WindowService(Host&, services::SysCall&, uint32_t command);

}  // namespace orva::host
