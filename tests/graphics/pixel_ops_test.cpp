// Single pixels and SetAlpha over a surface.
#include <gtest/gtest.h>

#include "graphics/canvas.h"
#include "graphics/raster.h"

namespace orva::graphics {
namespace {

using testing::Canvas;

TEST(GetPixel, ReturnsTheColourWordSetByAnOpaqueSetPixel) {
  Canvas c(4, 3);
  SetPixel(c.surface(), 2, 1, 0xFF123456);
  EXPECT_EQ(GetPixel(c.surface(), 2, 1), 0xFF123456u);
  EXPECT_EQ(c.at(2, 1), (Pixel{0x12, 0x34, 0x56, 0xFF}));  // standard mapping
}

TEST(SetPixel, ChecksOnlyTheBitmapBoundsNotTheClip) {
  Canvas c(4, 3, {1, 1, 1, 1});
  c.SetClip(0, 0, 0, 0);
  SetPixel(c.surface(), 3, 2, 0xFFFFFFFF);
  EXPECT_EQ(GetPixel(c.surface(), 3, 2), 0xFFFFFFFFu);
  for (auto [x, y] : {std::pair{-1, 0}, {4, 0}, {0, -1}, {0, 3}, {INT32_MIN, INT32_MAX}}) {
    SetPixel(c.surface(), x, y, 0xFFFFFFFF);
    EXPECT_EQ(GetPixel(c.surface(), x, y), 0u);
  }
  EXPECT_TRUE(c.GuardsIntact());
}

TEST(SetPixel, AlphaZeroLeavesThePixelUnchanged) {
  Canvas c(1, 1, {5, 6, 7, 8});
  SetPixel(c.surface(), 0, 0, 0x00FFFFFF);
  EXPECT_EQ(c.at(0, 0), (Pixel{5, 6, 7, 8}));
}

TEST(SetAlpha, AllOnesKeyCountsOnlyPixelsWhoseAlphaChanges) {
  Canvas c(3, 2, {1, 2, 3, 40});
  c.set(1, 0, {9, 9, 9, 77});
  c.set(2, 1, {9, 9, 9, 77});
  c.SetClip(0, 0, 3, 1);  // row 1 is outside
  EXPECT_EQ(SetAlpha(c.surface(), BoxOf(-5, -5, 100, 100), ~uint64_t{0}, 77), 2u);
  EXPECT_EQ(c.at(0, 0), (Pixel{1, 2, 3, 77}));
  EXPECT_EQ(c.at(0, 1).p3, 40);
}

TEST(SetAlpha, ColourKeyMatchesTheStandardMappingAndCountsEvenUnchangedAlpha) {
  Canvas c(3, 1, {0, 0, 0, 255});
  c.set(0, 0, {0xFF, 0x00, 0xFF, 200});
  c.set(1, 0, {0xFF, 0x00, 0xFF, 0});
  c.set(2, 0, {0xFF, 0xFF, 0x00, 9});
  EXPECT_EQ(SetAlpha(c.surface(), BoxOf(0, 0, 3, 1), 0x00FF00FF, 0), 2u);
  EXPECT_EQ(c.at(0, 0).p3, 0);
  EXPECT_EQ(c.at(2, 0).p3, 9);
  // The key's upper bits are ignored unless it is all ones.
  EXPECT_EQ(SetAlpha(c.surface(), BoxOf(0, 0, 3, 1), 0xABCD000000FF00FFull, 5), 2u);
}

}  // namespace
}  // namespace orva::graphics
