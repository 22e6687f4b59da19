// Division by 255, single pixels and SetAlpha. (The blends are checked through FillBox and the
// copies against their slow versions.)
#include <gtest/gtest.h>

#include "graphics/blend.h"
#include "graphics/canvas.h"
#include "graphics/raster.h"

namespace orva::graphics {
namespace {

using testing::Canvas;

TEST(Div255, IsExactForEveryProductOfTwoBytes) {
  for (uint32_t a = 0; a < 256; ++a)
    for (uint32_t b = 0; b < 256; ++b) ASSERT_EQ(Div255(a * b), a * b / 255) << a << " * " << b;
}

TEST(Pixels, ReadAndWriteOnlyInsideTheBitmapIgnoringTheClip) {
  Canvas c(4, 3, {5, 6, 7, 8});
  c.SetClip(0, 0, 0, 0);
  SetPixel(c.surface(), 2, 1, 0xFF123456);  // the standard mapping: 0x12 in p0
  for (auto [x, y] : {std::pair{-1, 0}, {4, 0}, {0, -1}, {0, 3}, {INT32_MIN, INT32_MAX}}) {
    SetPixel(c.surface(), x, y, 0xFFFFFFFF);
    EXPECT_EQ(GetPixel(c.surface(), x, y), 0u);
  }
  EXPECT_EQ(GetPixel(c.surface(), 2, 1), 0xFF123456u);
  EXPECT_EQ(c.Grid({{0x08050607, '.'}, {0xFF123456, '#'}}), "....\n..#.\n....\n");
  EXPECT_TRUE(c.GuardsIntact());
}

TEST(SetAlpha, CountsChangedAlphasOrKeyColourMatchesInsideTheClip) {
  Canvas c(3, 2, {0xFF, 0x00, 0xFF, 40});
  c.set(1, 0, {0xFF, 0x00, 0xFE, 77});
  c.SetClip(0, 0, 3, 1);
  EXPECT_EQ(SetAlpha(c.surface(), BoxOf(-5, -5, 100, 100), ~uint64_t{0}, 77), 2u);
  EXPECT_EQ(c.at(0, 1).p3, 40);  // outside the clip
  // A key matches p0 p1 p2 by the standard mapping, and counts even unchanged alphas; its
  // upper bits do not matter unless it is all ones.
  EXPECT_EQ(SetAlpha(c.surface(), BoxOf(0, 0, 3, 1), 0xABCD000000FF00FFull, 77), 2u);
  EXPECT_EQ(c.at(1, 0).p3, 77);
}

}  // namespace
}  // namespace orva::graphics
