// Creating and freeing bitmaps, their information and clip rectangles, and the screen's dirty
// rectangle.
#include "graphics/bitmaps.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/host.h"
#include "heap/heap.h"
#include "vm/image.h"

namespace orva::graphics {

namespace {

// Zeroed pixel memory, freed with std::free. The screen is filled as soon as it exists, so
// every page of it is touched at start-up: in 2 MiB pages a 1920 x 1080 screen costs four page
// faults instead of two thousand, which took about 20 ms of an empty program's start-up.
uint8_t* AllocatePixels(size_t bytes) {
  constexpr size_t kHugePage = size_t{2} << 20;
  if (bytes < kHugePage) return static_cast<uint8_t*>(std::calloc(1, bytes));
  const size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  void* p = std::aligned_alloc(kHugePage, rounded);
  if (!p) return nullptr;
  madvise(p, rounded, MADV_HUGEPAGE);  // only advice: without huge pages the block still works
  std::memset(p, 0, bytes);
  return static_cast<uint8_t*>(p);
}

}  // namespace

bool CreateHostBitmap(HostBitmap& bitmap, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return false;
  // At most 65535 x 65535 pixels (callers mask to 16 bits), so the size fits in a size_t.
  const size_t bytes = static_cast<size_t>(width) * kBytesPerPixel * static_cast<size_t>(height);
  bitmap.pixels.reset(AllocatePixels(bytes));
  if (!bitmap.pixels) return false;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.clip = {0, 0, width, height};
  return true;
}

uint32_t CreateBitmap(Host& host, uint32_t width, uint32_t height) {
  const uint64_t bytes = uint64_t{width} * kBytesPerPixel * height;
  if (bytes > UINT32_MAX) return 0;  // the size would wrap: refuse rather than under-allocate
  const uint32_t hbm = heap::AllocHeap(host, kHeaderBytes);
  const uint32_t pixels = heap::AllocHeap(host, static_cast<uint32_t>(bytes));
  uint8_t* header = heap::LockHeapPtr(host, hbm);
  const uint32_t fields[8] = {width, height, width * kBytesPerPixel, 0, 0, width, height, pixels};
  for (int i = 0; i < 8; ++i) vm::St32(header + 4 * i, fields[i]);
  heap::UnlockHeapPtr(host, hbm);
  return hbm;
}

void FreeBitmap(Host& host, uint32_t hbm) {
  if (hbm == kScreen || hbm == kTextScratch) return;
  uint32_t pixels = 0;
  if (uint8_t* header = heap::LockHeapPtr(host, hbm)) {
    // A block too small for a header names no pixel block that could be freed with it.
    if (host.heap.entries[hbm].capacity >= kHeaderBytes) pixels = vm::Ld32(header + 28);
    heap::UnlockHeapPtr(host, hbm);
  }
  if (pixels != 0) heap::FreeHeap(host, pixels);
  heap::FreeHeap(host, hbm);
}

std::optional<BitmapInfo> GetBitmapInfo(Host& host, uint32_t hbm) {
  SrcBinding src(host, hbm);
  const Surface& s = src.surface();
  if (!s.drawable()) return std::nullopt;
  auto u = [](int32_t v) { return static_cast<uint32_t>(v); };
  return BitmapInfo{u(s.width), u(s.height), u(s.clip.x), u(s.clip.y), u(s.clip.w), u(s.clip.h)};
}

void SetClip(Host& host, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h,
             uint8_t* old_clip) {
  SrcBinding src(host, hbm);
  const Surface& s = src.surface();
  if (!s.drawable()) return;
  if (old_clip) {
    const ClipRect& c = s.clip;
    vm::St32(old_clip, static_cast<uint32_t>(c.x));
    vm::St32(old_clip + 4, static_cast<uint32_t>(c.y));
    vm::St32(old_clip + 8, static_cast<uint32_t>(c.w));
    vm::St32(old_clip + 12, static_cast<uint32_t>(c.h));
  }
  ClipRect clip;
  clip.x = std::min(std::max(x, 0), s.width);
  clip.y = std::min(std::max(y, 0), s.height);
  clip.w = std::max(std::min(s.width - clip.x, w), 0);
  clip.h = std::max(std::min(s.height - clip.y, h), 0);

  if (hbm == kScreen) {
    host.gfx.screen.clip = clip;
  } else if (hbm == kTextScratch) {
    host.gfx.scratch.clip = clip;
  } else {
    uint8_t* header = host.gfx.src.header;
    vm::St32(header + 12, static_cast<uint32_t>(clip.x));
    vm::St32(header + 16, static_cast<uint32_t>(clip.y));
    vm::St32(header + 20, static_cast<uint32_t>(clip.w));
    vm::St32(header + 24, static_cast<uint32_t>(clip.h));
  }
}

void AddDirtyRect(Host& host, int64_t x, int64_t y, int64_t w, int64_t h) {
  if (!host.machine.started) return;
  const int64_t left = w < 0 ? x + w : x, top = h < 0 ? y + h : y;
  const int64_t right = left + (w < 0 ? -w : w), bottom = top + (h < 0 ? -h : h);
  auto fit = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  DirtyRect& d = host.gfx.dirty;
  d.left = std::min(d.left, fit(left));
  d.top = std::min(d.top, fit(top));
  d.right = std::max(d.right, fit(right));
  d.bottom = std::max(d.bottom, fit(bottom));
}

}  // namespace orva::graphics
