// Bitmaps and the bindings through which an operation reaches their pixels.
//
// A heap bitmap is two heap blocks: a 32-byte header, whose handle is the bitmap's hBM, and the
// pixel block. The header holds eight u32 fields:
//
//   offset  field     at creation
//   ------  --------  -----------------------------------------------
//     0     width     width
//     4     height    height
//     8     rowBytes  width * 4
//    12     clipX     0
//    16     clipY     0
//    20     clipW     width
//    24     clipH     height
//    28     hPixels   heap handle of the pixel block; 0: not a bitmap
//
// The program may lock both blocks and write them itself, so a header is checked against its
// blocks each time a binding opens: a header that claims more pixels than its pixel block holds
// (or whose header block is too small to be one) is drawn on by nothing, and a clip rectangle
// reaching outside the bitmap is cut to it.
//
// Every operation opens the bindings it needs at its start and closes them before it returns,
// through the guards below, so that no path (a fault on a bad address included) leaves a heap
// pin behind. While a binding on a heap bitmap is open the heap refuses to allocate or compact,
// so operations allocate before they bind.
#pragma once

#include <cstdint>
#include <optional>

#include "graphics/state.h"

namespace orva {
struct Host;
}

namespace orva::graphics {

inline constexpr uint32_t kHeaderBytes = 32;

// Allocates width * 4 * height bytes for a host bitmap and clips it to the whole bitmap; false
// when the size is not positive or the memory is refused. The pixels start zeroed.
bool CreateHostBitmap(HostBitmap&, int32_t width, int32_t height);

// A new heap bitmap (its pixels are whatever the heap block held), or 0 when width * 4 * height
// does not fit in 32 bits. Heap exhaustion is fatal, as for every allocation.
uint32_t CreateBitmap(Host&, uint32_t width, uint32_t height);
// Frees both blocks of a heap bitmap. The host bitmaps are never freed.
void FreeBitmap(Host&, uint32_t hbm);

// Opening a binding that is already open is fatal ("StartDST() already started", "StartSRC()
// already started"). A header without pixels is reported ("StartDST: hBM==0", "StartSRC:
// hBM==0") and the binding then draws nothing.
void StartDST(Host&, uint32_t hbm);
void EndDST(Host&);
void StartSRC(Host&, uint32_t hbm);
void EndSRC(Host&);
// Both bindings; on one bitmap the source shares the destination's pins.
void StartPair(Host&, uint32_t src, uint32_t dst);
void EndPair(Host&);

class DstBinding {
 public:
  DstBinding(Host& host, uint32_t hbm);
  ~DstBinding();
  DstBinding(const DstBinding&) = delete;
  DstBinding& operator=(const DstBinding&) = delete;
  const Surface& surface() const;

 private:
  Host& host_;
};

class SrcBinding {
 public:
  SrcBinding(Host& host, uint32_t hbm);
  ~SrcBinding();
  SrcBinding(const SrcBinding&) = delete;
  SrcBinding& operator=(const SrcBinding&) = delete;
  const Surface& surface() const;

 private:
  Host& host_;
};

class PairBinding {
 public:
  PairBinding(Host& host, uint32_t src, uint32_t dst);
  ~PairBinding();
  PairBinding(const PairBinding&) = delete;
  PairBinding& operator=(const PairBinding&) = delete;
  const Surface& src() const;
  const Surface& dst() const;

 private:
  Host& host_;
};

// Width, height, clipX, clipY, clipW, clipH of a bitmap; nothing when there is nothing bound.
struct BitmapInfo {
  uint32_t width, height, clip_x, clip_y, clip_w, clip_h;
};
std::optional<BitmapInfo> GetBitmapInfo(Host&, uint32_t hbm);

// Sets the clip rectangle, cut to the bitmap: clipX = min(max(x, 0), width), clipW =
// max(min(width - clipX, w), 0), the same for y and h. When `old_clip` is given, the clip
// before the change is first written there (16 bytes: x, y, w, h). Nothing happens when the
// bitmap cannot be bound. On the text scratch bitmap the scratch bitmap's own clip changes.
void SetClip(Host&, uint32_t hbm, int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* old_clip);

// Widens the screen's dirty rectangle by the rectangle (x, y, w, h), a negative size extending
// left or up from (x, y). Only once the started flag is set; nothing is cut to the screen.
void AddDirtyRect(Host&, int64_t x, int64_t y, int64_t w, int64_t h);

}  // namespace orva::graphics
