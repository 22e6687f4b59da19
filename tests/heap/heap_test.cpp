#include "heap/heap.h"

#include <gtest/gtest.h>

#include "support/test_host.h"

namespace orva::heap {
namespace {

constexpr uint32_t kStart = test::TestHost::kHeapStart;

struct HeapOps : ::testing::Test {
  HeapOps() { t.BareImage(1 << 20); }
  uint32_t Alloc(uint32_t size) { return AllocHeap(t.host, size); }
  uint32_t Adr(uint32_t h) { return GetHeapAdr(t.host, h); }
  const Entry& E(uint32_t h) { return t.host.heap.entries[h]; }
  test::TestHost t;
};

// A freed block is reused when size <= capacity < size + min(size, 1024), keeping its capacity.
TEST(HeapReuse, TakesAFreedBlockOnlyInsideTheWindow) {
  const struct {
    uint32_t freed, asked;
    bool reused;
  } cases[] = {{150, 100, true},   {200, 100, false},  {99, 100, false},    {100, 100, true},
               {5000, 5000, true}, {6023, 5000, true}, {6024, 5000, false}, {1, 0, false}};
  for (auto c : cases) {
    test::TestHost t;
    t.BareImage(1 << 20);
    uint32_t h = AllocHeap(t.host, c.freed);
    AllocHeap(t.host, 8);
    FreeHeap(t.host, h);
    uint32_t top = t.host.heap.top;
    EXPECT_EQ(AllocHeap(t.host, c.asked) == h, c.reused) << c.freed << " for " << c.asked;
    EXPECT_EQ(t.host.heap.top, c.reused ? top : top + c.asked);
    EXPECT_EQ(t.host.heap.entries[h].capacity, c.freed);
  }
}

// The room check answers what AllocHeap then does: freed blocks reused (each once), space at the
// top, and handles.
TEST(HeapRoom, PredictsWhetherTheAllocationsWouldSucceed) {
  const struct {
    std::vector<uint32_t> sizes;
    bool room;
  } cases[] = {
      {{32, 300}, true},        {{32, 360}, true},     {{32, 361}, false}, {{300, 300}, true},
      {{300, 300, 100}, false}, {{20, 20, 320}, true}, {{361}, false},     {{}, true}};
  for (const auto& c : cases) {
    test::TestHost t;
    t.BareImage(1000);  // 300 and 40 freed below the top, 360 free above it
    const uint32_t a = AllocHeap(t.host, 300), b = AllocHeap(t.host, 40);
    AllocHeap(t.host, 300);
    FreeHeap(t.host, b);
    FreeHeap(t.host, a);
    EXPECT_EQ(HeapHasRoom(t.host, c.sizes), c.room) << ::testing::PrintToString(c.sizes);
    const int status = test::ExitStatusOf([&] {
      for (uint32_t size : c.sizes) AllocHeap(t.host, size);
    });
    EXPECT_EQ(status == -1, c.room) << ::testing::PrintToString(c.sizes);
  }
  test::TestHost t;  // every handle taken: only a freed block can serve
  t.BareImage(1 << 20);
  for (uint32_t i = 0; i < kHandleCount; ++i) AllocHeap(t.host, 8);
  FreeHeap(t.host, 5);
  EXPECT_TRUE(HeapHasRoom(t.host, std::vector<uint32_t>{8}));
  EXPECT_FALSE(HeapHasRoom(t.host, std::vector<uint32_t>{8, 8}));
}

TEST_F(HeapOps, ReusesTheMostRecentlyFreedFitAndCutsSizeZeroAtTheTop) {
  uint32_t a = Alloc(100), b = Alloc(100), c = Alloc(100);
  for (uint32_t h : {a, c, b}) FreeHeap(t.host, h);
  EXPECT_EQ((std::vector{Alloc(100), Alloc(100), Alloc(100)}), (std::vector{b, c, a}));
  uint32_t z = Alloc(0);
  EXPECT_EQ(Adr(z), kStart + 300);
  EXPECT_EQ(t.host.heap.top, kStart + 300);
}

TEST(HeapFatal, EachConditionAlertsAndEndsWithStatus1) {
  const char* kSpace = "Terminating: insufficient Heap space. So sorry.";
  const std::pair<void (*)(Host&), const char*> cases[] = {
      {[](Host& h) { AllocHeap(h, 1001); }, kSpace},
      {[](Host& h) { AllocHeap(h, 600), AllocHeap(h, 401); }, kSpace},
      {[](Host& h) {
         for (uint32_t i = 0; i <= kHandleCount; ++i) AllocHeap(h, 0);
       },
       "Terminating: insufficient HeapPtrs. So sorry."},
      {[](Host& h) { LockHeapPtr(h, AllocHeap(h, 4)), AllocHeap(h, 4); },
       "Hey, Dummy! You can't AllocHeap() while you have a pointer INTO the Heap!"},
      {[](Host& h) { LockHeap(h, AllocHeap(h, 4)), CompactHeap(h); },
       "Hey, Dummy! You shouldn't have left blocks locked when CompactHeap() needs to run!"},
      {[](Host& h) {  // exactly full, every handle taken: fine
         AllocHeap(h, 1000);
         for (uint32_t i = 1; i < kHandleCount; ++i) AllocHeap(h, 0);
       },
       nullptr},
  };
  for (auto [run, alert] : cases) {
    test::TestHost t;
    t.BareImage(1000);
    EXPECT_EQ(test::ExitStatusOf([&] { run(t.host); }), alert ? 1 : -1);
    if (alert) {
      EXPECT_EQ(t.alerts().back(), alert);
    }
  }
}

// The property test shows survivors keep their bytes; this is the order handles come back in.
TEST_F(HeapOps, CompactionReclaimsHandlesHighestOffsetFirst) {
  uint32_t h[6];
  for (uint32_t& x : h) x = Alloc(16);
  for (int i : {3, 0, 5, 1}) FreeHeap(t.host, h[i]);
  CompactHeap(t.host);
  for (int i : {5, 3, 1, 0}) EXPECT_EQ(Alloc(1), h[i]);
}

// Only capacity-0 blocks share an offset; compaction orders them as its chain has always been
// built (freed list, then in-use list, each from its head, a later entry going in front). The
// unlock puts z at the head of the in-use list, so b is inserted after it and goes in front.
TEST_F(HeapOps, CompactionPlacesZeroCapacityBlocksByChainOrder) {
  Alloc(16);
  uint32_t z = Alloc(0), b = Alloc(32);
  LockHeap(t.host, z);
  UnlockHeap(t.host, z);
  CompactHeap(t.host);
  EXPECT_EQ(Adr(b), kStart + 16);
  EXPECT_EQ(Adr(z), kStart + 48);
}

TEST_F(HeapOps, NestedLocksLastUntilTheRoutineThatTookThemReturns) {
  uint32_t h = Alloc(32), other = Alloc(8);
  t.host.mem.SetSP(3000);
  EXPECT_EQ(LockHeap(t.host, h), Adr(h));
  t.host.mem.SetSP(2900);  // deeper: the first position stays
  LockHeap(t.host, h);
  LockHeap(t.host, other);
  UnlockHeap(t.host, h);
  EXPECT_EQ(E(h).lock_sp, 3000u);
  ReleaseFrameLocks(t.host, 3000);  // not above 3000
  EXPECT_EQ(E(h).list, kLocked);
  EXPECT_EQ(E(other).list, kInUse);
  ReleaseFrameLocks(t.host, 3001);
  EXPECT_EQ(E(h).list, kInUse);
  EXPECT_EQ(E(h).lock_count, 0u);
}

TEST_F(HeapOps, HostPinsBalanceWhateverTheCallerDoes) {
  uint32_t h = Alloc(16);
  uint8_t* p = LockHeapPtr(t.host, h);
  EXPECT_EQ(p, t.host.mem.base + Adr(h));
  LockHeapPtr(t.host, h);
  for (int i = 0; i < 3; ++i) UnlockHeapPtr(t.host, h);  // one too many
  EXPECT_EQ(t.host.heap.host_pins, 0);
  EXPECT_EQ(E(h).list, kInUse);
}

// Handles above 65535: one line in "debug.log" where the call logs, then the alert.
TEST_F(HeapOps, BadHandlesAreLoggedAndAlerted) {
  t.host.mem.SetU32At(504, 0x1234);
  t.host.mem.SetU32At(496, 0xCAFE0000);
  t.host.mem.SetPC(0xABC);
  t.host.machine.pc_pre_jsr = 0xA00;
  EXPECT_EQ(GetHeapAdr(t.host, 65536), kBadAddress);
  EXPECT_EQ(LockHeap(t.host, 70000), kBadAddress);
  FreeHeap(t.host, 0xFFFFFFFF);
  UnlockHeap(t.host, 65536);
  EXPECT_EQ(LockHeapPtr(t.host, 65536), nullptr);
  EXPECT_EQ(t.host.heap.host_pins, 0);
  EXPECT_EQ(test::ReadText(t.DataPath("debug.log")),
            "====== GetHeapAdr(65536) FAILED! HPCNT=65536 PC=0x00001234\n"
            "====== LockHeap(70000) FAILED! HPCNT=65536 PC=0x00000ABC PCpreJSR=0x00000A00\n"
            "====== FreeHeap(-1) FAILED! HPCNT=65536 PC=0xCAFE0000\n"
            "====== LockHeap(65536) FAILED! HPCNT=65536 PC=0x00000ABC PCpreJSR=0x00000A00\n");
  EXPECT_EQ(t.alerts(), (std::vector<std::string>{"GetHeapAdr() failed", "LockHeap() failed",
                                                  "FreeHeap() failed", "UnlockHeap() bad index",
                                                  "LockHeap() failed"}));
}

}  // namespace
}  // namespace orva::heap
