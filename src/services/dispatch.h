// SysDispatch: the host side of the SYS instruction. Reads the call block at R15, splits its
// service word into a group and a command, and runs the group's handler.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "services/syscall.h"

namespace orva::services {

using GroupHandler = void (*)(Host&, SysCall&, uint32_t command);

// One row of the group table.
struct ServiceGroup {
  uint32_t number;
  std::string_view name;
  GroupHandler handler;
};

// The groups 0-9, in order; anything above is unknown. Defined with the host shell
// (host/service_table.cpp), which sees every family.
extern const ServiceGroup kServiceGroups[10];

// Runs the service named by the call block at R15. The header holds the PC of the SYS
// instruction and the current SP, FP and FLAGS. Returns the fault when the program gave an
// address outside the image (the call block itself, or any address, string or count a service
// took from it); the interpreter turns that into the bad-address stop at the SYS instruction.
std::optional<ServiceFault> SysDispatch(Host&);

// Groups handled here rather than by a service family of their own.
void NoService(Host&, SysCall&, uint32_t command);    // groups 1 and 4
void HeapService(Host&, SysCall&, uint32_t command);  // group 9

}  // namespace orva::services
