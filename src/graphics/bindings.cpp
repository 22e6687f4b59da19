// The destination and source bindings: opening one checks and pins a heap bitmap, or takes the
// record of a host bitmap; closing it releases exactly what opening pinned.
#include <string_view>

#include "core/host.h"
#include "graphics/bitmaps.h"
#include "heap/heap.h"
#include "vm/image.h"

namespace orva::graphics {

namespace {

struct Names {
  std::string_view already_started;
  std::string_view no_pixels;
};
constexpr Names kDst{"StartDST() already started", "StartDST: hBM==0"};
constexpr Names kSrc{"StartSRC() already started", "StartSRC: hBM==0"};

// The geometry a header claims, if its pixel block holds it: every row's width * 4 bytes at
// row * rowBytes, inside the block's capacity.
bool FitsPixelBlock(uint32_t width, uint32_t height, uint32_t row_bytes, uint32_t capacity) {
  if (width > INT32_MAX || height > INT32_MAX) return false;
  const uint64_t row = uint64_t{width} * kBytesPerPixel;
  if (row > row_bytes) return false;
  if (width == 0 || height == 0) return true;
  return uint64_t{height - 1} * row_bytes + row <= capacity;
}

// Pins and checks a heap bitmap. Whatever was pinned is recorded in the binding, also when the
// bitmap then turns out to have nothing to draw on.
void OpenHeapBitmap(Host& host, Binding& b, const Names& names) {
  uint8_t* header = heap::LockHeapPtr(host, b.hbm);  // reports a handle above 65535
  if (!header) return;                               // bad, freed or never allocated
  b.header_pinned = true;
  const heap::Entry& header_block = host.heap.entries[b.hbm];
  if (header_block.capacity < kHeaderBytes || !host.mem.Fits(header_block.offset, kHeaderBytes)) {
    return;  // too small to be a bitmap header
  }
  b.header = header;
  const uint32_t pixel_handle = vm::Ld32(header + 28);
  if (pixel_handle == 0) {
    ShowMessageBox(host, names.no_pixels);
    return;
  }
  uint8_t* pixels = heap::LockHeapPtr(host, pixel_handle);
  if (!pixels) return;
  b.pixels_pinned = true;
  b.pixel_handle = pixel_handle;

  const uint32_t width = vm::Ld32(header), height = vm::Ld32(header + 4);
  const uint32_t row_bytes = vm::Ld32(header + 8);
  const heap::Entry& pixel_block = host.heap.entries[pixel_handle];
  if (!host.mem.Fits(pixel_block.offset, pixel_block.capacity) ||
      !FitsPixelBlock(width, height, row_bytes, pixel_block.capacity)) {
    return;
  }
  const ClipRect clip{
      static_cast<int32_t>(vm::Ld32(header + 12)), static_cast<int32_t>(vm::Ld32(header + 16)),
      static_cast<int32_t>(vm::Ld32(header + 20)), static_cast<int32_t>(vm::Ld32(header + 24))};
  const int32_t w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
  b.surface = {pixels, w, h, row_bytes, ClampClip(clip, w, h)};
}

void Open(Host& host, Binding& b, uint32_t hbm, const Names& names) {
  if (b.is_open) Fatal(host, names.already_started);
  b = Binding{};
  b.is_open = true;
  b.hbm = hbm;
  if (hbm == kTextScratch) {
    b.surface = host.gfx.scratch.surface();
  } else if (hbm == kScreen) {
    b.surface = host.gfx.screen.surface();
  } else {
    OpenHeapBitmap(host, b, names);
  }
}

void Close(Host& host, Binding& b) {
  if (b.pixels_pinned) heap::UnlockHeapPtr(host, b.pixel_handle);
  if (b.header_pinned) heap::UnlockHeapPtr(host, b.hbm);
  b = Binding{};
}

}  // namespace

void StartDST(Host& host, uint32_t hbm) { Open(host, host.gfx.dst, hbm, kDst); }
void EndDST(Host& host) { Close(host, host.gfx.dst); }
void StartSRC(Host& host, uint32_t hbm) { Open(host, host.gfx.src, hbm, kSrc); }
void EndSRC(Host& host) { Close(host, host.gfx.src); }

void StartPair(Host& host, uint32_t src, uint32_t dst) {
  StartDST(host, dst);
  if (src != dst) {
    StartSRC(host, src);
    return;
  }
  if (host.gfx.src.is_open) Fatal(host, kSrc.already_started);
  // The same bitmap: the source shares the destination's pins and owns none of its own.
  Binding shared = host.gfx.dst;
  shared.header_pinned = shared.pixels_pinned = false;
  host.gfx.src = shared;
}

void EndPair(Host& host) {
  if (host.gfx.src.hbm != host.gfx.dst.hbm) EndSRC(host);
  host.gfx.src = Binding{};  // a shared source owns no pins
  EndDST(host);
}

DstBinding::DstBinding(Host& host, uint32_t hbm) : host_(host) { StartDST(host, hbm); }
DstBinding::~DstBinding() { EndDST(host_); }
const Surface& DstBinding::surface() const { return host_.gfx.dst.surface; }

SrcBinding::SrcBinding(Host& host, uint32_t hbm) : host_(host) { StartSRC(host, hbm); }
SrcBinding::~SrcBinding() { EndSRC(host_); }
const Surface& SrcBinding::surface() const { return host_.gfx.src.surface; }

// StartPair opens the destination first; should opening the source then end the process, the
// destination is still released on the way out.
PairBinding::PairBinding(Host& host, uint32_t src, uint32_t dst) : host_(host) {
  try {
    StartPair(host, src, dst);
  } catch (...) {
    EndDST(host);
    throw;
  }
}
PairBinding::~PairBinding() { EndPair(host_); }
const Surface& PairBinding::src() const { return host_.gfx.src.surface; }
const Surface& PairBinding::dst() const { return host_.gfx.dst.surface; }

}  // namespace orva::graphics
