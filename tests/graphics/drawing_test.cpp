// The drawing procedures as the program calls them: what each reports on the screen, and the
// choices made before the drawing itself (frame or not, outline colour, empty sizes).
#include <gtest/gtest.h>

#include <array>

#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/graphics_host.h"

namespace orva::graphics {
namespace {

using testing::GraphicsHost;

TEST(SetupScreen, MakesAnOpaqueBlackScreenAndAScratchBitmapOrEndsTheProcess) {
  GraphicsHost g;
  g.SetUpScreen(40, 31, /*started=*/false);
  EXPECT_EQ(g.host.gfx.scratch.width * 100 + g.host.gfx.scratch.height, 4002);
  EXPECT_EQ(GetPixel(g.host, kScreen, 39, 30), 0xFF000000u);
  EXPECT_TRUE(g.host.gfx.dirty.empty());
  GraphicsHost none;
  EXPECT_EQ(test::ExitStatusOf([&] { none.SetUpScreen(0, 600); }), 1);
  EXPECT_EQ(none.host.last_alert, "Failed creating screen BITMAP. Terminating. So sorry!");
}

// Each operation's report on the screen, one at a time from an empty dirty rectangle: clipped,
// normalised, tiled up to the limit, or nothing. (The fuzz test holds every size to time.)
TEST(Drawing, ReportsWhatEachOperationDrewOnTheScreen) {
  GraphicsHost g;
  g.SetUpScreen(64, 32);
  const uint32_t sprite = CreateBitmap(g.host, 16, 16);
  struct Case {
    const char* what;
    std::function<void()> draw;
    std::array<int32_t, 4> dirty;  // left, top, right, bottom; right < left: nothing
  };
  Host& h = g.host;
  const Case cases[] = {
      {"clipped line",
       [&] {
         SetClip(h, kScreen, 0, 4, 64, 4, nullptr);
         DrawLine(h, kScreen, 5, 10, 5, 2, ~0u);
         SetClip(h, kScreen, 0, 0, 64, 32, nullptr);
       },
       {5, 4, 6, 8}},
      {"rectangle", [&] { DrawRectangle(h, kScreen, 3, 4, -2, 5, ~0u, 0); }, {1, 4, 3, 9}},
      {"tiled blit",
       [&] { Blit(h, kScreen, 4, 2, sprite, 0, 0, 16, 16, false, 44, 0); },
       {4, 2, 44, 18}},
      {"empty stretch",
       [&] { StretchBlit(h, kScreen, 0, 0, 0, 5, sprite, 0, 0, 3, 3, 0, 0); },
       {30000, 30000, -1, -1}},
      {"alpha",
       [&] { EXPECT_EQ(SetAlpha(h, kScreen, -3, 2, 5, 100, ~0ull, 0x1234), 2u * 30); },
       {0, 2, 2, 32}},
      {"adjust", [&] { AdjustColours(h, kScreen, 62, -2, 5, 5, -1, 0, 0, 0); }, {62, 0, 64, 3}},
  };
  for (const Case& c : cases) {
    h.gfx.dirty.Clear();
    c.draw();
    const DirtyRect& d = h.gfx.dirty;
    EXPECT_EQ((std::array{d.left, d.top, d.right, d.bottom}), c.dirty) << c.what;
  }
  EXPECT_EQ(GetPixel(h, kScreen, 1, 31), 0x34000000u);
  EXPECT_TRUE(g.NothingHeld());
}

TEST(DrawRectangle, AFrameKeepsTheFillInsideAndBlendsItsCornersTwice) {
  GraphicsHost g;
  const uint32_t hbm = CreateBitmap(g.host, 5, 4);
  DrawRectangle(g.host, hbm, 0, 0, 5, 4, 0xFF0000AA, 0x00FFFFFF);  // no frame: the whole box
  DrawRectangle(g.host, hbm, 0, 0, 5, 4, 0xFF00BB00, 0x80FFFFFF);
  EXPECT_EQ(GetPixel(g.host, hbm, 1, 1), 0xFF00BB00u);
  EXPECT_EQ(GetPixel(g.host, hbm, 3, 2), 0xFF00BB00u);
  EXPECT_EQ(GetPixel(g.host, hbm, 2, 0) & 0xFF, 0xAAu * 127 / 255 + 128);  // 212
  EXPECT_EQ(GetPixel(g.host, hbm, 4, 3) & 0xFF, 212u * 127 / 255 + 128);
}

// The graphics program draws an ellipse with a frame; without one, the outline takes the fill.
TEST(DrawEllipse, OutlineTakesTheFillColourWithoutAFrameAndFlatBoxesAreLines) {
  GraphicsHost g;
  const uint32_t hbm = CreateBitmap(g.host, 5, 5);
  DrawEllipse(g.host, hbm, 0, 0, 5, 5, 0xFF112233, 0x00FFFFFF);
  EXPECT_EQ(GetPixel(g.host, hbm, 0, 2), 0xFF332211u);  // direct mapping
  DrawEllipse(g.host, hbm, 0, 1, 0, 3, 0xFF0000FF, 0);  // a line, standard mapping
  for (int32_t y = 1; y <= 4; ++y) EXPECT_EQ(GetPixel(g.host, hbm, 0, y), 0xFF0000FFu) << y;
}

TEST(DrawPolyline, DrawsNothingForFewerThanTwoPoints) {
  GraphicsHost g;
  const uint32_t hbm = CreateBitmap(g.host, 4, 4);
  DrawRectangle(g.host, hbm, 0, 0, 4, 4, 0xFF000000, 0);
  uint8_t points[16] = {};  // (0, 0) twice
  DrawPolyline(g.host, hbm, points, 1, 0xFFFFFFFF);
  DrawPolyline(g.host, hbm, points, -4, 0xFFFFFFFF);
  EXPECT_EQ(GetPixel(g.host, hbm, 0, 0), 0xFF000000u);
}

}  // namespace
}  // namespace orva::graphics
