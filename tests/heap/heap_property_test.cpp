#include <gtest/gtest.h>

#include <map>

#include "heap/heap.h"
#include "support/fuzz.h"
#include "support/test_host.h"

namespace orva::heap {
namespace {

// Lists well linked and naming their entries; the chain holding exactly the tiles (freed, in use,
// locked) in address order, covering [start, top) without gap or overlap. The long unused list
// is walked only when `with_unused`.
void ExpectConsistent(const Heap& heap, bool with_unused) {
  size_t tiles = 0, listed = 0;
  for (uint32_t list = with_unused ? kUnused : kFreed; list <= kLocked; ++list) {
    for (int32_t h = heap.head[list], prev = -1; h >= 0; prev = h, h = heap.entries[h].next) {
      ASSERT_EQ(heap.entries[h].list, list);
      ASSERT_EQ(heap.entries[h].prev, prev);
      ASSERT_LE(++listed, kHandleCount);
      tiles += list != kUnused;
    }
  }
  if (with_unused) {
    ASSERT_EQ(listed, kHandleCount);
  }
  uint32_t at = heap.start, zero = 0;
  size_t chained = 0;
  for (int32_t h = heap.chain_head; h >= 0; h = heap.entries[h].chain_next) {
    const Entry& e = heap.entries[h];
    ASSERT_LE(++chained, tiles);
    ASSERT_NE(e.list, kUnused);
    ASSERT_EQ(e.offset, at) << "gap or overlap at handle " << h;
    at += e.capacity;
    zero += e.capacity == 0;
  }
  ASSERT_EQ(chained, tiles);
  ASSERT_EQ(at, heap.top);
  ASSERT_EQ(zero, heap.zero_tiles);
}

// Random programs of allocations, frees, nested locks, host pins, frame releases, calls on
// handles not in use and compactions keep the heap consistent and every live block's bytes.
TEST(HeapProperty, RandomOperationsKeepTheTilingAndTheContents) {
  test::FuzzFor(0x4845'4150, [](std::mt19937_64& rng) {
    test::TestHost t;
    t.BareImage(1 << 18);
    Host& host = t.host;
    auto pick = [&](uint64_t n) { return static_cast<uint32_t>(rng() % n); };
    std::map<uint32_t, std::pair<uint32_t, uint8_t>> live;  // handle -> size, fill byte
    auto any_live = [&] { return std::next(live.begin(), pick(live.size()))->first; };
    auto check_contents = [&] {
      for (auto& [h, block] : live) {
        const uint8_t* p = host.mem.base + GetHeapAdr(host, h);
        for (uint32_t i = 0; i < block.first; ++i) ASSERT_EQ(p[i], block.second) << h;
      }
    };

    for (int step = 0; step < 400; ++step) {
      uint32_t op = pick(100);
      if (op < 35) {
        uint32_t size = pick(4) == 0 ? pick(3) : pick(2000);
        if (host.heap.start + host.heap.size - host.heap.top < size) continue;
        uint32_t h = AllocHeap(host, size);
        ASSERT_FALSE(live.count(h));
        live[h] = {size, uint8_t(rng())};
        std::memset(host.mem.base + GetHeapAdr(host, h), live[h].second, size);
      } else if (live.empty()) {
        continue;
      } else if (op < 55) {
        uint32_t h = any_live();
        FreeHeap(host, h);
        live.erase(h);
      } else if (op < 70) {
        host.mem.SetSP(1000 + pick(2000));
        uint32_t h = any_live();
        ASSERT_EQ(LockHeap(host, h), GetHeapAdr(host, h));
      } else if (op < 78) {
        UnlockHeap(host, any_live());
      } else if (op < 84) {
        ReleaseFrameLocks(host, 1000 + pick(2200));
      } else if (op < 88) {
        uint32_t h = any_live();
        ASSERT_EQ(LockHeapPtr(host, h), host.mem.base + GetHeapAdr(host, h));
        UnlockHeapPtr(host, h);
      } else if (op < 94) {
        if (uint32_t h = pick(64); !live.count(h)) {
          FreeHeap(host, h);
          ASSERT_EQ(LockHeap(host, h), kBadAddress);
          ASSERT_EQ(LockHeapPtr(host, h), nullptr);
          UnlockHeap(host, h);
          UnlockHeapPtr(host, h);
        }
      } else {
        ReleaseFrameLocks(host, 0xFFFFFFFF);
        CompactHeap(host);
        ASSERT_NO_FATAL_FAILURE(check_contents());
      }
      ASSERT_NO_FATAL_FAILURE(ExpectConsistent(host.heap, false));
    }
    ASSERT_NO_FATAL_FAILURE(ExpectConsistent(host.heap, true));
    ASSERT_EQ(host.heap.host_pins, 0);
    ASSERT_TRUE(t.alerts().empty());
  });
}

}  // namespace
}  // namespace orva::heap
