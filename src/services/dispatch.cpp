#include "services/dispatch.h"

namespace orva::services {

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
