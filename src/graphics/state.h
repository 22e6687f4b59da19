// State of the graphics subsystem: the two host bitmaps, the destination and source bindings,
// the dirty rectangle of the screen, the line pattern and the fonts of text.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "graphics/pixel.h"
#include "graphics/raster.h"
#include "graphics/text_state.h"

namespace orva::graphics {

// Bitmap handles with a meaning of their own. Every other handle names a heap bitmap: the heap
// block of its 32-byte header.
inline constexpr uint32_t kScreen = 0;
inline constexpr uint32_t kTextScratch = 0xFFFFFFFE;
inline constexpr uint32_t kClosed = 0xFFFFFFFF;  // never a bitmap: marks a closed binding

// A bitmap in host memory (the screen and the text scratch bitmap). Rows have no padding.
struct HostBitmap {
  struct Free {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t[], Free> pixels;  // null until created, or when creation failed
  int32_t width = 0;
  int32_t height = 0;
  ClipRect clip;

  Surface surface() const {
    return {pixels.get(), width, height, static_cast<size_t>(width) * kBytesPerPixel, clip};
  }
};

// An open binding gives one operation raw access to one bitmap. For a heap bitmap it pins the
// header and the pixel block, and records exactly what it pinned, so that closing it releases
// exactly that. `surface` has no pixels when there is nothing to draw on (a bad or freed
// handle, a header without pixels, or a header whose geometry does not fit its blocks).
struct Binding {
  bool is_open = false;
  uint32_t hbm = kClosed;
  uint8_t* header = nullptr;  // the pinned header of a heap bitmap, when it is one
  bool header_pinned = false;
  bool pixels_pinned = false;
  uint32_t pixel_handle = 0;
  Surface surface;
};

// The union of what was drawn on the screen since the presentation last took it: left, top,
// right, bottom in screen pixels, right and bottom exclusive.
struct DirtyRect {
  static constexpr int32_t kEmptyLeft = 30000, kEmptyRight = -1;
  int32_t left = kEmptyLeft, top = kEmptyLeft, right = kEmptyRight, bottom = kEmptyRight;

  bool empty() const { return left >= right; }
  void Clear() { *this = DirtyRect{}; }
};

struct GraphicsState {
  int32_t desktop_width = 0;  // as measured at start-up, for the window services
  int32_t desktop_height = 0;
  HostBitmap screen;   // hBM 0
  HostBitmap scratch;  // hBM 0xFFFFFFFE: where text is drawn before it is copied
  Binding dst;
  Binding src;
  DirtyRect dirty;
  uint64_t line_pattern = ~uint64_t{0};    // solid
  std::vector<StretchSpan> stretch_spans;  // scratch memory of StretchBlit
  TextState text;
};

}  // namespace orva::graphics
