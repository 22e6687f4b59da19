// The handle heap: movable blocks at the top of the image, named by handles that stay valid while
// compaction slides the blocks down. Allocation never moves anything; compaction runs only
// between messages and refuses to run while anything is locked.
//
// Invariant: the blocks of the entries on the freed, in-use and locked lists tile the range from
// the heap start to the heap top exactly, without gaps or overlap.
#pragma once

#include <cstdint>
#include <vector>

namespace orva {
struct Host;
}

namespace orva::heap {

inline constexpr uint32_t kHandleCount = 65536;
inline constexpr uint32_t kBadAddress = 0xFFFFFFFF;  // failure value of LockHeap and GetHeapAdr

enum ListId : uint32_t { kUnused = 0, kFreed = 1, kInUse = 2, kLocked = 3 };

struct Entry {
  uint32_t offset = 0;    // image address of the block
  uint32_t capacity = 0;  // bytes reserved; compaction moves and advances by this
  int32_t prev = -1, next = -1;  // links in the list the entry is on
  uint32_t list = kUnused;
  uint32_t lock_sp = 0;     // SP when the first of the current locks was taken; 0 when unlocked
  uint32_t lock_count = 0;
  int32_t chain_prev = -1, chain_next = -1;  // offset-ordered chain built by compaction
  uint32_t reclaim = 0;  // 1 while compaction treats the entry as freed
};

struct Heap {
  std::vector<Entry> entries;  // kHandleCount entries once initialised
  int32_t head[4] = {-1, -1, -1, -1};
  uint32_t start = 0;  // image address of the heap start (STKTOP)
  uint32_t size = 0;   // HEAPSIZE
  uint32_t top = 0;    // first byte not yet handed out
  int32_t host_pins = 0;  // LockHeapPtr calls not yet undone
};

void InitHeap(Host&, uint32_t start, uint32_t size);
uint32_t AllocHeap(Host&, uint32_t size);
void FreeHeap(Host&, uint32_t handle);
uint32_t LockHeap(Host&, uint32_t handle);
void UnlockHeap(Host&, uint32_t handle);
uint32_t GetHeapAdr(Host&, uint32_t handle);
// Host-side pin: a raw pointer into the image, or null when the handle is bad.
uint8_t* LockHeapPtr(Host&, uint32_t handle);
void UnlockHeapPtr(Host&, uint32_t handle);
void ReleaseFrameLocks(Host&, uint32_t stack_position);
void CompactHeap(Host&);

}  // namespace orva::heap
