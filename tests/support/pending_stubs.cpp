// TEMPORARY: stand-ins for the heap and the debug log until they land on main.
#include "heap/heap.h"
#include "host/host.h"
#include "services/file_layer.h"

namespace orva::heap {
void InitHeap(Host& host, uint32_t start, uint32_t size) {
  host.heap.start = host.heap.top = start;
  host.heap.size = size;
}
uint32_t AllocHeap(Host& host, uint32_t size) {
  uint32_t a = host.heap.top;
  host.heap.top += size;
  return a;
}
void FreeHeap(Host&, uint32_t) {}
uint32_t LockHeap(Host&, uint32_t h) { return h; }
void UnlockHeap(Host&, uint32_t) {}
uint32_t GetHeapAdr(Host&, uint32_t h) { return h; }
void ReleaseFrameLocks(Host&, uint32_t) {}
void CompactHeap(Host&) {}
}  // namespace orva::heap

namespace orva::services {
void AppendDebugLog(Host& host, std::string_view text) {
  host.last_alert = "LOG:" + std::string(text);
}
}  // namespace orva::services
