// Group 9: the handle heap.
#include "heap/heap.h"
#include "services/dispatch.h"

namespace orva::services {

void HeapService(Host& host, SysCall& call, uint32_t command) {
  switch (command) {
    case 0: call.Result(heap::AllocHeap(host, call.Arg(0))); break;
    case 1: heap::FreeHeap(host, call.Arg(0)); break;
    case 2: {
      // The lock is recorded 20 bytes above SP: the stack position of the routine that called
      // the service, so that its return releases the lock.
      uint32_t handle = call.Arg(0);
      uint32_t sp = host.mem.SP();
      host.mem.SetSP(sp + 20);
      uint32_t address = heap::LockHeap(host, handle);
      host.mem.SetSP(sp);
      call.Result(address);
      break;
    }
    case 3: heap::UnlockHeap(host, call.Arg(0)); break;
    case 4: call.Result(heap::GetHeapAdr(host, call.Arg(0))); break;
    default: break;  // commands above 4 do nothing
  }
}

}  // namespace orva::services
