#include "graphics/screen.h"

#include "core/host.h"
#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/text.h"

namespace orva::graphics {

void SetupScreen(Host& host, int32_t desktop_width, int32_t desktop_height) {
  GraphicsState& g = host.gfx;
  g.desktop_width = desktop_width;
  g.desktop_height = desktop_height;
  if (!CreateHostBitmap(g.screen, desktop_width & 0xFFFF, desktop_height & 0xFFFF)) {
    Fatal(host, "Failed creating screen BITMAP. Terminating. So sorry!");
  }
  // Without a scratch bitmap (a screen under 15 rows) text draws nothing; nothing is reported.
  CreateHostBitmap(g.scratch, g.screen.width, (g.screen.height / 15) & 0xFFFF);
  ClearFontCache(g.text);
  DrawRectangle(host, kScreen, 0, 0, g.screen.width, g.screen.height, 0xFF000000, 0);
}

void RedrawDirtyRect(Host& host) {
  GraphicsState& g = host.gfx;
  if (g.dirty.empty() || !g.screen.pixels) return;
  platform::Rect area{g.dirty.left, g.dirty.top, g.dirty.right - g.dirty.left,
                      g.dirty.bottom - g.dirty.top};
  g.dirty.Clear();
  platform::Frame frame{g.screen.pixels.get(), g.screen.width, g.screen.height,
                        static_cast<size_t>(g.screen.width) * kBytesPerPixel};
  host.platform.display().Present(frame, area);
}

}  // namespace orva::graphics
