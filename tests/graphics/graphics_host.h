// A Host for graphics tests: the headless platform and an image whose heap is set up as the
// loader leaves it (handle 0 taken); the screen on request.
#pragma once

#include "host/host.h"
#include "platform/headless/headless_platform.h"

namespace orva::graphics::testing {

class GraphicsHost {
 public:
  explicit GraphicsHost(uint32_t heap_size = 1 << 20);
  Host& host() { return host_; }

  // The screen of the given size; `started` as once the window has been shown.
  void SetUpScreen(int32_t w, int32_t h, bool started = true);
  // Nothing pinned, nothing locked, no binding open: what every operation must leave behind.
  bool NothingHeld() const;
  // Header field `index` of a heap bitmap (0 width ... 7 hPixels), and its pixel block.
  uint32_t Field(uint32_t hbm, int index) const;
  void SetField(uint32_t hbm, int index, uint32_t value);
  uint8_t* Block(uint32_t handle) const;
  uint32_t Capacity(uint32_t handle) const;
  // The status the call ended the process with, or -1 when it returned.
  template <typename F>
  int ExitStatusOf(F&& f) {
    try {
      f();
    } catch (const platform::ProcessExit& e) {
      return e.status;
    }
    return -1;
  }

 private:
  platform::HeadlessPlatform platform_{nullptr};
  Host host_{platform_};
};

}  // namespace orva::graphics::testing
