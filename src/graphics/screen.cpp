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

namespace {

void Present(Host& host, const platform::Rect& area) {
  const HostBitmap& screen = host.gfx.screen;
  platform::Frame frame{screen.pixels.get(), screen.width, screen.height,
                        static_cast<size_t>(screen.width) * kBytesPerPixel};
  host.platform.display().Present(frame, area);
}

}  // namespace

void RedrawDirtyRect(Host& host) {
  GraphicsState& g = host.gfx;
  if (g.dirty.empty() || !g.screen.pixels) return;
  platform::Rect area{g.dirty.left, g.dirty.top, g.dirty.right - g.dirty.left,
                      g.dirty.bottom - g.dirty.top};
  g.dirty.Clear();
  Present(host, area);
}

void RedrawView(Host& host) {
  if (!host.gfx.screen.pixels) return;
  platform::Size view = host.platform.display().ViewSize();
  if (host.machine.in_qx)
    AddDirtyRect(host, 0, 0, view.width, view.height);
  else
    Present(host, {0, 0, view.width, view.height});
}

}  // namespace orva::graphics
