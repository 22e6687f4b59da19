#include "graphics/graphics_service.h"

#include "services/syscall.h"

namespace orva::graphics {

// Not built yet: every command is unknown.
void GraphicsService(Host& host, services::SysCall&, uint32_t) { services::UnknownCommand(host); }

}  // namespace orva::graphics
