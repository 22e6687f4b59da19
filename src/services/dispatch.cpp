#include "services/dispatch.h"

#include "graphics/graphics_service.h"
#include "host/window_services.h"

namespace orva::services {

//  group  service                          handler
const ServiceGroup kServiceGroups[10] = {
    {0, "files", FileService},
    {1, "none", NoService},
    {2, "clock, date and program timer", ClockService},
    {3, "strings, memory and formatting", StringService},
    {4, "none", NoService},
    {5, "graphics", graphics::GraphicsService},
    {6, "music and sound effects", AudioService},
    {7, "window and system", host::WindowService},
    {8, "profile file", ProfileService},
    {9, "heap", HeapService},
};

std::optional<ServiceFault> SysDispatch(Host& host) {
  try {
    uint32_t block = host.mem.R32(15);
    SysCall call(host, block + 4);
    uint32_t code = call.Load32(block);
    uint32_t group = code >> 8, command = code & 0xFF;
    if (group < std::size(kServiceGroups))
      kServiceGroups[group].handler(host, call, command);
    else
      UnknownCommand(host);
  } catch (const ServiceFault& fault) {
    return fault;
  }
  return std::nullopt;
}

void NoService(Host&, SysCall&, uint32_t) {}

}  // namespace orva::services
