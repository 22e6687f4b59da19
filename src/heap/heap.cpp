#include "heap/heap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/file_layer.h"
#include "core/host.h"

namespace orva::heap {
namespace {

constexpr const char* kPinnedAtAlloc =
    "Hey, Dummy! You can't AllocHeap() while you have a pointer INTO the Heap!";
constexpr const char* kLockedAtCompact =
    "Hey, Dummy! You shouldn't have left blocks locked when CompactHeap() needs to run!";
constexpr const char* kNoHandles = "Terminating: insufficient HeapPtrs. So sorry.";
constexpr const char* kNoSpace = "Terminating: insufficient Heap space. So sorry.";

// Header words that the bad-handle reports print as "PC".
constexpr uint32_t kOffGetHeapAdrPC = 504;
constexpr uint32_t kOffFreeHeapPC = 496;
constexpr size_t kLogLineBytes = 128;

// ------------------------------------------------------------------------------------------
// Intrusive lists: entries are always added at the head.

void Unlink(Heap& heap, int32_t h) {
  Entry& e = heap.entries[h];
  if (e.prev >= 0)
    heap.entries[e.prev].next = e.next;
  else
    heap.head[e.list] = e.next;
  if (e.next >= 0) heap.entries[e.next].prev = e.prev;
  e.prev = e.next = -1;
}

void PushHead(Heap& heap, int32_t h, ListId list) {
  Entry& e = heap.entries[h];
  e.list = list;
  e.prev = -1;
  e.next = heap.head[list];
  if (e.next >= 0) heap.entries[e.next].prev = h;
  heap.head[list] = h;
}

void MoveTo(Heap& heap, int32_t h, ListId list) {
  Unlink(heap, h);
  PushHead(heap, h, list);
}

// ------------------------------------------------------------------------------------------
// The chain of tiles in address order. A new block is always cut at the top, so appending keeps
// the order; reuse, freeing and locking leave a tile where it is.

void ChainAppend(Heap& heap, int32_t h) {
  Entry& e = heap.entries[h];
  e.chain_prev = heap.chain_tail;
  e.chain_next = -1;
  if (heap.chain_tail >= 0)
    heap.entries[heap.chain_tail].chain_next = h;
  else
    heap.chain_head = h;
  heap.chain_tail = h;
}

void ChainRemove(Heap& heap, int32_t h) {
  Entry& e = heap.entries[h];
  if (e.chain_prev >= 0)
    heap.entries[e.chain_prev].chain_next = e.chain_next;
  else
    heap.chain_head = e.chain_next;
  if (e.chain_next >= 0)
    heap.entries[e.chain_next].chain_prev = e.chain_prev;
  else
    heap.chain_tail = e.chain_prev;
  e.chain_prev = e.chain_next = -1;
}

// ------------------------------------------------------------------------------------------

bool IsHandle(const Heap& heap, uint32_t handle) {
  return handle < kHandleCount && handle < heap.entries.size();
}

bool IsLive(const Entry& e) { return e.list == kInUse || e.list == kLocked; }

uint32_t HeaderWord(const Host& host, uint32_t offset) {
  return host.mem.Read32(offset).value_or(0);
}

// The report for a handle above 65535: one line in "debug.log", then the alert.
void ReportBadHandle(Host& host, const char* line, const char* alert) {
  AppendDebugLog(host, line);
  ShowMessageBox(host, alert);
}

void Unlock(Heap& heap, int32_t h) {
  Entry& e = heap.entries[h];
  if (e.lock_count == 0) return;
  if (--e.lock_count == 0) {
    e.lock_sp = 0;
    MoveTo(heap, h, kInUse);
  }
}

// Rebuilds the chain in the order compaction has always used: the freed list and then the in-use
// list, each from its head, inserted in ascending order of offset, an entry going in front of any
// entry with the same offset. Only tiles of capacity 0 share an offset, and their order decides
// where they land, so this runs only while such tiles exist.
void OrderChainAsBuilt(Heap& heap) {
  std::vector<int32_t> order;
  for (ListId list : {kFreed, kInUse})
    for (int32_t h = heap.head[list]; h >= 0; h = heap.entries[h].next) order.push_back(h);
  // Later insertions win ties: reverse, then sort stably by offset.
  std::reverse(order.begin(), order.end());
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return heap.entries[a].offset < heap.entries[b].offset;
  });
  heap.chain_head = heap.chain_tail = -1;
  for (int32_t h : order) ChainAppend(heap, h);
}

// The freed tile with the lowest offset: everything below it is already packed.
int32_t LowestFreed(const Heap& heap) {
  int32_t best = heap.head[kFreed];
  for (int32_t h = best; h >= 0; h = heap.entries[h].next)
    if (heap.entries[h].offset < heap.entries[best].offset) best = h;
  return best;
}

// The freed block AllocHeap reuses for `size`: the most recently freed one that is at least
// `size` and wastes less than min(size, 1024) bytes, other than those in `taken`; -1 if none.
// Size 0 admits no block, so the scan is skipped.
int32_t FindReusable(const Heap& heap, uint32_t size, std::span<const int32_t> taken) {
  if (size == 0) return -1;
  const uint64_t limit = uint64_t{size} + std::min<uint32_t>(size, 1024);
  for (int32_t h = heap.head[kFreed]; h >= 0; h = heap.entries[h].next) {
    const Entry& e = heap.entries[h];
    if (e.capacity >= size && e.capacity < limit &&
        std::find(taken.begin(), taken.end(), h) == taken.end())
      return h;
  }
  return -1;
}

}  // namespace

void InitHeap(Host& host, uint32_t start, uint32_t size) {
  Heap& heap = host.heap;
  heap.entries.assign(kHandleCount, Entry{});
  for (uint32_t h = 0; h < kHandleCount; ++h) {
    heap.entries[h].prev = static_cast<int32_t>(h) - 1;
    heap.entries[h].next = h + 1 < kHandleCount ? static_cast<int32_t>(h + 1) : -1;
  }
  heap.head[kUnused] = 0;
  heap.head[kFreed] = heap.head[kInUse] = heap.head[kLocked] = -1;
  heap.start = heap.top = start;
  heap.size = size;
  heap.host_pins = 0;
  heap.chain_head = heap.chain_tail = -1;
  heap.zero_tiles = 0;
}

uint32_t AllocHeap(Host& host, uint32_t size) {
  Heap& heap = host.heap;
  if (heap.host_pins != 0) Fatal(host, kPinnedAtAlloc);

  const int32_t reused = FindReusable(heap, size, {});
  if (reused >= 0) {
    MoveTo(heap, reused, kInUse);
    heap.entries[reused].lock_count = 0;
    return static_cast<uint32_t>(reused);
  }

  if (heap.head[kUnused] < 0) Fatal(host, kNoHandles);
  if (uint64_t{heap.start} + heap.size - heap.top < size) Fatal(host, kNoSpace);

  int32_t h = heap.head[kUnused];
  MoveTo(heap, h, kInUse);
  Entry& e = heap.entries[h];
  e.offset = heap.top;
  e.capacity = size;
  e.lock_count = 0;
  e.lock_sp = 0;
  ChainAppend(heap, h);
  if (size == 0) ++heap.zero_tiles;
  heap.top += size;
  return static_cast<uint32_t>(h);
}

bool HeapHasRoom(const Host& host, std::span<const uint32_t> sizes) {
  const Heap& heap = host.heap;
  std::vector<int32_t> reused;
  uint64_t room = uint64_t{heap.start} + heap.size - heap.top;
  int32_t next_unused = heap.head[kUnused];
  for (uint32_t size : sizes) {
    const int32_t h = FindReusable(heap, size, reused);
    if (h >= 0) {
      reused.push_back(h);
      continue;
    }
    if (next_unused < 0 || room < size) return false;
    next_unused = heap.entries[next_unused].next;
    room -= size;
  }
  return true;
}

void FreeHeap(Host& host, uint32_t handle) {
  Heap& heap = host.heap;
  if (!IsHandle(heap, handle)) {
    char line[kLogLineBytes];
    std::snprintf(line, sizeof line, "====== FreeHeap(%d) FAILED! HPCNT=%d PC=0x%8.8X\n",
                  static_cast<int>(handle), static_cast<int>(kHandleCount),
                  HeaderWord(host, kOffFreeHeapPC));
    ReportBadHandle(host, line, "FreeHeap() failed");
    return;
  }
  int32_t h = static_cast<int32_t>(handle);
  Entry& e = heap.entries[h];
  if (!IsLive(e)) return;
  e.lock_count = 0;
  e.lock_sp = 0;
  MoveTo(heap, h, kFreed);
}

uint32_t LockHeap(Host& host, uint32_t handle) {
  Heap& heap = host.heap;
  if (!IsHandle(heap, handle)) {
    char line[kLogLineBytes];
    std::snprintf(line, sizeof line,
                  "====== LockHeap(%d) FAILED! HPCNT=%d PC=0x%8.8X PCpreJSR=0x%8.8X\n",
                  static_cast<int>(handle), static_cast<int>(kHandleCount),
                  HeaderWord(host, vm::kOffPC), host.machine.pc_pre_jsr);
    ReportBadHandle(host, line, "LockHeap() failed");
    return kBadAddress;
  }
  int32_t h = static_cast<int32_t>(handle);
  Entry& e = heap.entries[h];
  if (!IsLive(e)) return kBadAddress;
  if (e.lock_count == 0) {
    e.lock_sp = HeaderWord(host, vm::kOffSP);
    MoveTo(heap, h, kLocked);
  }
  ++e.lock_count;
  return e.offset;
}

void UnlockHeap(Host& host, uint32_t handle) {
  if (!IsHandle(host.heap, handle)) {
    ShowMessageBox(host, "UnlockHeap() bad index");
    return;
  }
  Unlock(host.heap, static_cast<int32_t>(handle));
}

uint32_t GetHeapAdr(Host& host, uint32_t handle) {
  Heap& heap = host.heap;
  if (!IsHandle(heap, handle)) {
    char line[kLogLineBytes];
    std::snprintf(line, sizeof line, "====== GetHeapAdr(%d) FAILED! HPCNT=%d PC=0x%8.8X\n",
                  static_cast<int>(handle), static_cast<int>(kHandleCount),
                  HeaderWord(host, kOffGetHeapAdrPC));
    ReportBadHandle(host, line, "GetHeapAdr() failed");
    return kBadAddress;
  }
  const Entry& e = heap.entries[handle];
  return e.list == kUnused ? kBadAddress : e.offset;
}

uint8_t* LockHeapPtr(Host& host, uint32_t handle) {
  if (IsHandle(host.heap, handle) && !IsLive(host.heap.entries[handle])) return nullptr;
  uint32_t address = LockHeap(host, handle);  // reports a bad handle
  if (address == kBadAddress) return nullptr;
  ++host.heap.host_pins;
  // The tiling keeps every block inside the heap, and the heap inside the image.
  return host.mem.base + address;
}

void UnlockHeapPtr(Host& host, uint32_t handle) {
  Heap& heap = host.heap;
  if (IsHandle(heap, handle) && heap.entries[handle].list == kLocked && heap.host_pins > 0)
    --heap.host_pins;
  UnlockHeap(host, handle);
}

void ReleaseFrameLocksSlow(Host& host, uint32_t stack_position) {
  Heap& heap = host.heap;
  // Take the next entry before this one moves to the in-use list.
  for (int32_t h = heap.head[kLocked]; h >= 0;) {
    Entry& e = heap.entries[h];
    int32_t next = e.next;
    if (e.lock_count != 0 && e.lock_sp < stack_position) {
      e.lock_count = 1;
      Unlock(heap, h);
    }
    h = next;
  }
}

void CompactHeap(Host& host) {
  Heap& heap = host.heap;
  if (heap.host_pins != 0 || heap.head[kLocked] >= 0) Fatal(host, kLockedAtCompact);

  int32_t first;
  if (heap.zero_tiles != 0) {
    OrderChainAsBuilt(heap);
    first = heap.chain_head;
  } else {
    // Distinct offsets: the chain is already in the order compaction wants, and with nothing
    // freed the tiles are already packed.
    if (heap.head[kFreed] < 0) return;
    first = LowestFreed(heap);
  }
  uint8_t* base = host.mem.base;
  uint32_t write = heap.entries[first].offset;
  for (int32_t h = first; h >= 0;) {
    Entry& e = heap.entries[h];
    int32_t next = e.chain_next;
    if (e.list == kFreed) {
      // Reclaimed: the handles of the highest offsets come first out of the unused list.
      ChainRemove(heap, h);
      if (e.capacity == 0) --heap.zero_tiles;
      MoveTo(heap, h, kUnused);
    } else {
      if (e.offset != write) {
        std::memmove(base + write, base + e.offset, e.capacity);
        e.offset = write;
      }
      write += e.capacity;
    }
    h = next;
  }
  heap.top = write;
}

}  // namespace orva::heap
