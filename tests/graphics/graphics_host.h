// A test host for graphics: a bare image whose heap is set up as the loader leaves it (handle 0
// taken), the screen on request, and views of heap bitmaps' headers and blocks.
#pragma once

#include <array>

#include "support/test_host.h"

namespace orva::graphics::testing {

struct GraphicsHost : test::TestHost {
  explicit GraphicsHost(uint32_t heap_size = 1 << 20);

  // The screen of the given size; `started` as once the window has been shown.
  void SetUpScreen(int32_t w, int32_t h, bool started = true);
  // Nothing pinned, nothing locked, no binding open: what every operation must leave behind.
  bool NothingHeld() const;
  // Header field `index` of a heap bitmap (0 width ... 7 hPixels), and a block's bytes.
  uint32_t Field(uint32_t hbm, int index) const;
  void SetField(uint32_t hbm, int index, uint32_t value);
  // Fields 0-6: width, height, rowBytes, clip x, y, w, h.
  using Geometry = std::array<uint32_t, 7>;
  Geometry GetGeometry(uint32_t hbm) const;
  void SetGeometry(uint32_t hbm, const Geometry& fields);
  uint8_t* Block(uint32_t handle) const;
};

}  // namespace orva::graphics::testing
