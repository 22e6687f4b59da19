// The handle heap: movable blocks at the top of the image, named by handles that stay valid while
// compaction slides the blocks down. Allocation never moves anything; compaction runs only
// between messages and refuses to run while anything is locked.
//
// Invariant: the blocks of the entries on the freed, in-use and locked lists tile the range from
// the heap start to the heap top exactly, without gaps or overlap. The same entries, and only
// they, are linked in address order on the chain (chain_prev/chain_next), so compaction walks the
// tiles without sorting them.
//
// Handles that are not in use (never allocated, freed, or reclaimed by compaction) are never
// moved back onto a list by the program's calls, so a stale offset can never rejoin the tiling:
// FreeHeap, LockHeap and UnlockHeap ignore them, and LockHeap answers kBadAddress. GetHeapAdr
// still answers for a freed block that compaction has not reclaimed yet (its bytes are still
// there), and kBadAddress for an unused handle. None of these cases is reported: only handles
// above 65535 are.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace orva {
struct Host;
}

namespace orva::heap {

inline constexpr uint32_t kHandleCount = 65536;
inline constexpr uint32_t kBadAddress = 0xFFFFFFFF;  // failure value of LockHeap and GetHeapAdr

enum ListId : uint32_t { kUnused = 0, kFreed = 1, kInUse = 2, kLocked = 3 };

struct Entry {
  uint32_t offset = 0;           // image address of the block
  uint32_t capacity = 0;         // bytes reserved; compaction moves and advances by this
  int32_t prev = -1, next = -1;  // links in the list the entry is on
  uint32_t list = kUnused;
  uint32_t lock_sp = 0;  // SP when the first of the current locks was taken; 0 when unlocked
  uint32_t lock_count = 0;
  int32_t chain_prev = -1, chain_next = -1;  // the tiles in address order
};

struct Heap {
  std::vector<Entry> entries;  // kHandleCount entries once initialised
  int32_t head[4] = {-1, -1, -1, -1};
  uint32_t start = 0;                        // image address of the heap start (STKTOP)
  uint32_t size = 0;                         // HEAPSIZE
  uint32_t top = 0;                          // first byte not yet handed out
  int32_t host_pins = 0;                     // LockHeapPtr calls not yet undone
  int32_t chain_head = -1, chain_tail = -1;  // lowest and highest tile
  uint32_t zero_tiles = 0;  // tiles of capacity 0; only they can share an offset with another
};

// Empties the table: every entry unused, heap top at `start`. Called by the loader.
void InitHeap(Host&, uint32_t start, uint32_t size);

// Fatal (status 1) while a host pointer is outstanding, or when handles or space run out.
uint32_t AllocHeap(Host&, uint32_t size);
// Whether AllocHeap could hand out blocks of these sizes, one after the other, without running
// out of handles or space. Changes nothing; lets the host refuse a request from a file that the
// heap could only meet by ending the program.
bool HeapHasRoom(const Host&, std::span<const uint32_t> sizes);
void FreeHeap(Host&, uint32_t handle);
uint32_t LockHeap(Host&, uint32_t handle);
void UnlockHeap(Host&, uint32_t handle);
uint32_t GetHeapAdr(Host&, uint32_t handle);

// Host-side pin: a raw pointer to the block, valid until the matching UnlockHeapPtr (nothing can
// move the block meanwhile, since AllocHeap and CompactHeap refuse to run while pinned). Null when
// the handle is bad or not in use; no pin is taken then, and a later UnlockHeapPtr of that
// handle leaves the pin count alone, so callers may pair the two calls unconditionally.
uint8_t* LockHeapPtr(Host&, uint32_t handle);
void UnlockHeapPtr(Host&, uint32_t handle);

// Drops every lock taken at a stack position below `stack_position`. The interpreter calls this
// on every subroutine return, so the common case (nothing locked) is decided inline. A template
// only so that this header need not see Host.
void ReleaseFrameLocksSlow(Host&, uint32_t stack_position);
template <typename HostT>
inline void ReleaseFrameLocks(HostT& host, uint32_t stack_position) {
  if (host.heap.head[kLocked] >= 0) ReleaseFrameLocksSlow(host, stack_position);
}

// Packs the surviving blocks down from the heap start and reclaims the freed entries. Fatal
// (status 1) while anything is locked or pinned.
void CompactHeap(Host&);

}  // namespace orva::heap
