// Ellipses: the worked shapes, and the claim that boxes up to 59 x 59 blend only pixels inside
// the box and none twice.
#include <gtest/gtest.h>

#include <chrono>

#include "graphics/canvas.h"
#include "graphics/raster.h"

namespace orva::graphics {
namespace {

using testing::Canvas;

// Outline 'o', fill 'f', background '.'; the direct mapping puts bits 0-7 in p0.
std::string Ellipse(int32_t cw, int32_t ch, int32_t x, int32_t y, int32_t w, int32_t h) {
  Canvas c(cw, ch, {0, 0, 0, 255});
  DrawEllipse(c.surface(), x, y, w, h, ColourBlend(DirectMapping(0xFF0000AA)),
              ColourBlend(DirectMapping(0xFF0000BB)));
  return c.Grid({{0xFF000000, '.'}, {0xFFAA0000, 'o'}, {0xFFBB0000, 'f'}});
}

TEST(DrawEllipse, DrawsTheWorkedShapes) {
  EXPECT_EQ(Ellipse(3, 3, 0, 0, 3, 3), ".o.\nofo\n.o.\n");
  EXPECT_EQ(Ellipse(5, 5, 0, 0, 5, 5), ".ooo.\nofffo\nofffo\nofffo\n.ooo.\n");
  // An even width: two centre columns.
  EXPECT_EQ(Ellipse(6, 3, 1, 0, 4, 3), "..oo..\n.offo.\n..oo..\n");
  // Only the clip rectangle is drawn.
  Canvas c(5, 5, {0, 0, 0, 255});
  c.SetClip(0, 0, 3, 2);
  DrawEllipse(c.surface(), 0, 0, 5, 5, ColourBlend(DirectMapping(0xFF0000AA)),
              ColourBlend(DirectMapping(0xFF0000AA)));
  EXPECT_EQ(c.Mask(), ".##..\n###..\n.....\n.....\n.....\n");
}

// Red of alpha 128 onto black gives p0 = 128 once and 191 a second time, so the canvas counts
// how often each pixel was blended.
TEST(DrawEllipse, BoxesUpTo59BlendEachPixelInsideTheBoxAtMostOnce) {
  const ColourBlend half_red(DirectMapping(0x800000FF));
  for (int32_t w = 1; w <= 59; ++w) {
    for (int32_t h = 1; h <= 59; ++h) {
      Canvas c(63, 63);
      DrawEllipse(c.surface(), 2, 2, w, h, half_red, half_red);
      for (int32_t y = 0; y < 63; ++y)
        for (int32_t x = 0; x < 63; ++x) {
          const uint8_t p0 = c.at(x, y).p0;
          const bool inside = x >= 2 && x < 2 + w && y >= 2 && y < 2 + h;
          ASSERT_TRUE(p0 == 0 || (p0 == 128 && inside)) << w << "x" << h << " at " << x << "," << y;
        }
      ASSERT_EQ(c.at(2 + (w - 1) / 2, 2).p0, 128) << w << "x" << h;  // the walk's start
    }
  }
}

TEST(DrawEllipse, BoxesWhoseArithmeticWrapsEndPromptlyAndHugeOnesDrawNothing) {
  // With w = 50000 a * a wraps negative, and with h = 1 the walk would step outwards for ever.
  Canvas c(8, 4);
  const ColourBlend red(DirectMapping(0xFF0000FF));
  const auto start = std::chrono::steady_clock::now();
  DrawEllipse(c.surface(), -25000, 1, 50000, 1, red, red);
  DrawEllipse(c.surface(), 0, 0, 65535, 65535, red, red);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  Canvas d(4, 4);
  DrawEllipse(d.surface(), -40000, -40000, 80002, 80002, red, red);
  DrawEllipse(d.surface(), 0, 0, INT32_MIN, 3, red, red);
  EXPECT_EQ(d.Mask(), "....\n....\n....\n....\n");
}

}  // namespace
}  // namespace orva::graphics
