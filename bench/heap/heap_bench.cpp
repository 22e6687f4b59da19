// Operations per second of the handle heap, for the patterns a program produces: allocation and
// reuse inside a message, locks, the per-return frame-lock check, and the compaction after each
// message. Run: build/heap_bench (or `ninja bench`).
#include <benchmark/benchmark.h>

#include <vector>

#include "core/host.h"
#include "heap/heap.h"
#include "platform/headless/headless_platform.h"

namespace {

using namespace orva;

constexpr uint32_t kHeapStart = 4096;

// A host with an image whose heap starts at 4096 and holds `heap_size` bytes.
struct BenchHost {
  explicit BenchHost(uint32_t heap_size) : host(platform) {
    host.image_block.Allocate(kHeapStart + heap_size);
    host.mem = host.image_block.memory();
    host.mem.SetU32At(vm::kOffSP, kHeapStart);
    heap::InitHeap(host, kHeapStart, heap_size);
  }
  platform::HeadlessPlatform platform{nullptr};
  Host host;
};

// Allocate and free one block: after the first round every allocation reuses the freed block.
void BM_AllocFreeReuse(benchmark::State& state) {
  BenchHost b(1 << 20);
  for (auto _ : state) {
    uint32_t h = heap::AllocHeap(b.host, 64);
    heap::FreeHeap(b.host, h);
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_AllocFreeReuse);

// A message's worth of work: cut `n` new blocks, free them all, compact.
void BM_AllocFreeCompact(benchmark::State& state) {
  const auto n = static_cast<uint32_t>(state.range(0));
  BenchHost b(64 << 20);
  std::vector<uint32_t> handles(n);
  for (auto _ : state) {
    for (uint32_t i = 0; i < n; ++i) handles[i] = heap::AllocHeap(b.host, 32 + (i & 7) * 16);
    for (uint32_t i = 0; i < n; ++i) heap::FreeHeap(b.host, handles[i]);
    heap::CompactHeap(b.host);
  }
  state.SetItemsProcessed(state.iterations() * (2 * n + 1));
}
BENCHMARK(BM_AllocFreeCompact)->Arg(100)->Arg(10000);

// Compaction after freeing every other one of `n` live blocks of 256 bytes: half of the blocks
// move. Timed per compaction (setup excluded); bytes/s counts the bytes moved.
void BM_CompactHalfFreed(benchmark::State& state) {
  const auto n = static_cast<uint32_t>(state.range(0));
  BenchHost b(64 << 20);
  std::vector<uint32_t> handles(n);
  for (auto _ : state) {
    state.PauseTiming();
    for (uint32_t i = 0; i < n; ++i) handles[i] = heap::AllocHeap(b.host, 256);
    for (uint32_t i = 0; i < n; i += 2) heap::FreeHeap(b.host, handles[i]);
    state.ResumeTiming();
    heap::CompactHeap(b.host);
    state.PauseTiming();
    for (uint32_t i = 1; i < n; i += 2) heap::FreeHeap(b.host, handles[i]);
    heap::CompactHeap(b.host);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{n / 2} * 256);
}
BENCHMARK(BM_CompactHalfFreed)->Arg(1000)->Arg(10000);

// Compaction after a message that freed nothing, with 10000 live blocks.
void BM_CompactNothingFreed(benchmark::State& state) {
  BenchHost b(64 << 20);
  for (int i = 0; i < 10000; ++i) heap::AllocHeap(b.host, 64);
  for (auto _ : state) heap::CompactHeap(b.host);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompactNothingFreed);

void BM_LockUnlock(benchmark::State& state) {
  BenchHost b(1 << 20);
  uint32_t h = heap::AllocHeap(b.host, 64);
  for (auto _ : state) {
    benchmark::DoNotOptimize(heap::LockHeap(b.host, h));
    heap::UnlockHeap(b.host, h);
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_LockUnlock);

// The check made on every subroutine return when nothing is locked.
void BM_ReleaseFrameLocksNothingLocked(benchmark::State& state) {
  BenchHost b(1 << 20);
  uint32_t sp = kHeapStart;
  for (auto _ : state) {
    heap::ReleaseFrameLocks(b.host, sp);
    benchmark::DoNotOptimize(sp);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReleaseFrameLocksNothingLocked);

// Reuse scan cost: each allocation passes `n` freed blocks that do not fit before it cuts a new
// block (so the iterations are bounded by the heap's space and handles).
void BM_AllocPastFreed(benchmark::State& state) {
  const auto n = static_cast<uint32_t>(state.range(0));
  BenchHost b(64 << 20);
  std::vector<uint32_t> handles(n);
  for (uint32_t i = 0; i < n; ++i) handles[i] = heap::AllocHeap(b.host, 16);
  for (uint32_t h : handles) heap::FreeHeap(b.host, h);
  for (auto _ : state) benchmark::DoNotOptimize(heap::AllocHeap(b.host, 4096));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AllocPastFreed)->Arg(100)->Arg(1000)->Iterations(10000);

}  // namespace

BENCHMARK_MAIN();
