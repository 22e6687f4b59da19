// Hue, saturation and value: the conversions, AdjustColours and the colour square.
#include <gtest/gtest.h>

#include "graphics/canvas.h"
#include "graphics/raster.h"

namespace orva::graphics {
namespace {

using testing::Canvas;

TEST(RgbToHsv, PrimariesSitAtHues0_84_168AndAlphaPassesThrough) {
  EXPECT_EQ(RgbToHsv(0x000000FF), 0x00FFFF00u);
  EXPECT_EQ(RgbToHsv(0x0000FF00), 0x00FFFF54u);
  EXPECT_EQ(RgbToHsv(0x00FF0000), 0x00FFFFA8u);
  EXPECT_EQ(RgbToHsv(0x7F0000FF), 0x7FFFFF00u);
}

TEST(RgbToHsv, GreysHaveNoHueOrSaturation) {
  EXPECT_EQ(RgbToHsv(0xFF808080), 0xFF800000u);
  EXPECT_EQ(RgbToHsv(0x00000000), 0x00000000u);
}

TEST(HsvToRgb, RebuildsPrimariesAndMixesWithinASector) {
  EXPECT_EQ(HsvToRgb(0x00FFFF00), 0x000000FFu);
  EXPECT_EQ(HsvToRgb(0x00FFFF54), 0x0000FF00u);
  // Hue 21 is half way through sector 0: T = trunc(0.5 * 255) = 127.
  EXPECT_EQ(HsvToRgb(0x00FFFF15), 0x00007FFFu);
}

TEST(HsvToRgb, HuesFrom252AreBlackAndSaturation0IsGrey) {
  for (uint32_t hue = 252; hue < 256; ++hue) EXPECT_EQ(HsvToRgb(0x9AFFFF00 | hue), 0x9A000000u);
  EXPECT_EQ(HsvToRgb(0x00800040), 0x00808080u);
}

Pixel Adjusted(Pixel p, int32_t hue, int32_t sat, int32_t bright, int32_t contrast) {
  Canvas c(1, 1, p);
  AdjustColours(c.surface(), BoxOf(0, 0, 1, 1), hue, sat, bright, contrast);
  return c.at(0, 0);
}

TEST(AdjustColours, KeepingHueAndSaturationLeavesGreysAndShiftsGreenSlightly) {
  EXPECT_EQ(Adjusted({77, 77, 77, 9}, -1, -1, 0, 0), (Pixel{77, 77, 77, 9}));
  EXPECT_EQ(Adjusted({255, 0, 0, 9}, -1, -1, 0, 0), (Pixel{255, 0, 0, 9}));
  // Green measures hue 85 on the 256-step circle; rebuilt on the 252-step one: f = 1 of sector 2.
  EXPECT_EQ(Adjusted({0, 255, 0, 9}, -1, -1, 0, 0), (Pixel{0, 255, 6, 9}));
}

TEST(AdjustColours, SaturationZeroGivesGreysOfTheLargestChannel) {
  EXPECT_EQ(Adjusted({10, 200, 30, 40}, -1, 0, 0, 0), (Pixel{200, 200, 200, 40}));
  EXPECT_EQ(Adjusted({10, 200, 30, 40}, 17, 256, 0, 0), (Pixel{200, 200, 200, 40}));
}

TEST(AdjustColours, ContrastThenBrightnessThenClamp) {
  EXPECT_EQ(Adjusted({100, 100, 100, 0}, -1, -1, 51, 0).p0, 120);   // 100 + 100 * 51 / 255
  EXPECT_EQ(Adjusted({100, 100, 100, 0}, -1, -1, 0, 255).p0, 72);   // 100 + (-28) * 255 / 255
  EXPECT_EQ(Adjusted({100, 100, 100, 0}, -1, -1, 51, 255).p0, 86);  // 72 + 72 * 51 / 255 = 86
  EXPECT_EQ(Adjusted({100, 100, 100, 0}, -1, -1, INT32_MAX, 0).p0, 255);
  EXPECT_EQ(Adjusted({200, 100, 100, 0}, -1, -1, 0, INT32_MIN).p0, 0);
}

TEST(AdjustColours, OnlyTheClippedAreaChanges) {
  Canvas c(3, 2, {10, 200, 30, 40});
  c.SetClip(1, 0, 2, 1);
  AdjustColours(c.surface(), BoxOf(-5, -5, 7, 70), -1, 0, 0, 0);
  EXPECT_EQ(c.at(0, 0), (Pixel{10, 200, 30, 40}));
  EXPECT_EQ(c.at(1, 0), (Pixel{200, 200, 200, 40}));
  EXPECT_EQ(c.at(2, 0), (Pixel{10, 200, 30, 40}));
  EXPECT_EQ(c.at(1, 1), (Pixel{10, 200, 30, 40}));
}

TEST(DrawColourSquare, ValueGrowsDownwardsAndSaturationRightwards) {
  Canvas c(3, 3);
  DrawColourSquare(c.surface(), 0, 0, 3, 3, 0);
  // Hue 0 maps to 167 / 42: sector 3, f = 0.976...
  EXPECT_EQ(c.at(0, 0), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(c.at(2, 0), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(c.at(0, 1), (Pixel{127, 127, 127, 255}));
  EXPECT_EQ(c.at(1, 1), (Pixel{63, 65, 127, 255}));
  EXPECT_EQ(c.at(2, 1), (Pixel{0, 3, 127, 255}));
  EXPECT_EQ(c.at(0, 2), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(c.at(1, 2), (Pixel{127, 130, 255, 255}));
  EXPECT_EQ(c.at(2, 2), (Pixel{0, 6, 255, 255}));
}

TEST(DrawColourSquare, NegativeSizesMirrorTheirAxis) {
  Canvas plain(7, 5), mirrored_x(7, 5), mirrored_y(7, 5);
  DrawColourSquare(plain.surface(), 1, 0, 5, 4, 99);
  DrawColourSquare(mirrored_x.surface(), 1, 0, -5, 4, 99);
  DrawColourSquare(mirrored_y.surface(), 1, 0, 5, -4, 99);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 5; ++x) {
      EXPECT_EQ(mirrored_x.at(1 + x, y), plain.at(1 + 4 - x, y));
      EXPECT_EQ(mirrored_y.at(1 + x, y), plain.at(1 + x, 3 - y));
    }
  }
  EXPECT_EQ(mirrored_x.at(0, 0), (Pixel{0, 0, 0, 0}));
  EXPECT_EQ(mirrored_x.at(6, 0), (Pixel{0, 0, 0, 0}));
}

TEST(DrawColourSquare, ASingleColumnIsGreyAndASingleRowIsBlack) {
  Canvas column(1, 3), row(3, 1);
  DrawColourSquare(column.surface(), 0, 0, 1, 3, 40);
  DrawColourSquare(row.surface(), 0, 0, 3, 1, 40);
  EXPECT_EQ(column.at(0, 1), (Pixel{127, 127, 127, 255}));
  EXPECT_EQ(column.at(0, 2), (Pixel{255, 255, 255, 255}));
  for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(row.at(x, 0), (Pixel{0, 0, 0, 255}));
}

}  // namespace
}  // namespace orva::graphics
