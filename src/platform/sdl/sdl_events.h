// The events group on SDL: SDL's events turned into platform events, one at a time.
#pragma once

#include <SDL.h>

#include "platform/platform.h"
#include "platform/sdl/sdl_window.h"

namespace orva::platform {

class SdlEvents final : public Events {
 public:
  explicit SdlEvents(SdlWindow& window) : window_(window) {}

  bool Poll(Event&) override;

 private:
  // False for the events the host has no use for (they are dropped).
  bool Convert(const SDL_Event&, Event& out);
  bool ConvertWindowEvent(const SDL_WindowEvent&, Event& out);
  double ToView(int32_t points) const { return double(points) / window_.scale(); }

  SdlWindow& window_;
  bool minimized_ = false;  // so that only the end of a minimise reports kRestored
};

}  // namespace orva::platform
