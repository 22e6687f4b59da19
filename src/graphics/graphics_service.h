// Service group 5: the door through which the program creates, draws, copies, loads and saves
// bitmaps.
#pragma once

#include <cstdint>

namespace orva {
struct Host;
namespace services {
class SysCall;
}
}  // namespace orva

namespace orva::graphics {

void GraphicsService(Host&, services::SysCall&, uint32_t command);

}  // namespace orva::graphics
