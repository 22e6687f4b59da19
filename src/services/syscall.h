// What a service handler sees of the machine during a SYS trap: the arguments of its call block,
// checked access to image memory, and R14 for its answer. This is the one narrow door between the
// services and the machine.
//
// The image is untrusted. Every address, string and count a service takes from the program goes
// through the accessors below; one that leaves the image throws ServiceFault, which the
// dispatcher turns into the machine's bad-address fault at the SYS instruction. A handler that
// holds host-side resources across such a call (heap pins, drawing bindings) releases them with
// RAII, so that a fault never leaves them held.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/host.h"
#include "vm/image.h"

namespace orva::services {

struct ServiceFault {
  uint32_t address;  // the first image address that was out of reach
};

class SysCall {
 public:
  // `args` is the image address of argument 0 (call block address + 4).
  SysCall(Host& host, uint32_t args) : host_(host), args_(args) {}

  Host& host() const { return host_; }
  const vm::Memory& mem() const { return host_.mem; }

  // Argument k of the call block (argument 0 follows the service word).
  uint32_t Arg(uint32_t k) const { return Load32(args_ + 4 * k); }
  int32_t IntArg(uint32_t k) const { return static_cast<int32_t>(Arg(k)); }
  // A 64-bit argument in two words, low word first.
  uint64_t Arg64(uint32_t k) const { return Arg(k) | (static_cast<uint64_t>(Arg(k + 1)) << 32); }

  // Host pointer to [addr, addr + len) of the image; throws ServiceFault when it leaves the image.
  uint8_t* Bytes(uint32_t addr, uint64_t len) const {
    uint8_t* p = mem().Ptr(addr, len);
    if (!p) throw ServiceFault{addr};
    return p;
  }
  // The NUL-terminated string at addr (without its NUL); throws when no NUL lies in the image.
  std::string_view String(uint32_t addr) const {
    auto s = mem().CString(addr);
    if (!s) throw ServiceFault{addr};
    return *s;
  }
  uint32_t Load32(uint32_t addr) const { return vm::Ld32(Bytes(addr, 4)); }
  void Store32(uint32_t addr, uint32_t v) const { vm::St32(Bytes(addr, 4), v); }

  // The answer: a 32-bit result keeps R14's upper half; a 64-bit result fills the slot.
  void Result(uint32_t v) const { mem().SetR32(14, v); }
  void Result64(uint64_t v) const { mem().SetR(14, v); }

 private:
  Host& host_;
  uint32_t args_;
};

// The report for a service group or command the host does not know; not fatal.
void UnknownCommand(Host&);

// Group handlers, one per family (each in its own file).
void FileService(Host&, SysCall&, uint32_t command);     // group 0
void StringService(Host&, SysCall&, uint32_t command);   // group 3
void ProfileService(Host&, SysCall&, uint32_t command);  // group 8

}  // namespace orva::services
