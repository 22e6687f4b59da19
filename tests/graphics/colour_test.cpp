// Hue, saturation and value: the conversions, AdjustColours and the colour square. (The
// graphics conformance program checks a primary each way through SYS.)
#include <gtest/gtest.h>

#include "graphics/canvas.h"
#include "graphics/raster.h"

namespace orva::graphics {
namespace {

using testing::Canvas;

TEST(Hsv, ConvertsPrimariesGreysAndMixesBothWays) {
  EXPECT_EQ(RgbToHsv(0x7FFF0000), 0x7FFFFFA8u);  // hue 168, alpha kept
  EXPECT_EQ(RgbToHsv(0xFF808080), 0xFF800000u);
  EXPECT_EQ(HsvToRgb(0x00FFFF15), 0x00007FFFu);  // hue 21, half way: trunc(0.5 * 255)
  EXPECT_EQ(HsvToRgb(0x00800040), 0x00808080u);  // saturation 0: grey of the value
  for (uint32_t hue = 252; hue < 256; ++hue) EXPECT_EQ(HsvToRgb(0x9AFFFF00 | hue), 0x9A000000u);
}

Pixel Adjusted(Pixel p, int32_t hue, int32_t sat, int32_t bright, int32_t contrast) {
  Canvas c(1, 1, p);
  AdjustColours(c.surface(), BoxOf(0, 0, 1, 1), hue, sat, bright, contrast);
  return c.at(0, 0);
}

TEST(AdjustColours, RebuildsEachPixelFromItsHueSaturationAndValue) {
  // Green measures hue 85 on the 256-step circle and is rebuilt on the 252-step one.
  EXPECT_EQ(Adjusted({0, 255, 0, 9}, -1, -1, 0, 0), (Pixel{0, 255, 6, 9}));
  // Only the saturation's low byte counts: 256 is 0, a grey.
  EXPECT_EQ(Adjusted({10, 200, 30, 40}, 17, 256, 0, 0), (Pixel{200, 200, 200, 40}));
  EXPECT_EQ(Adjusted({100, 100, 100, 0}, -1, -1, 51, 255).p0, 86);  // contrast to 72 first
  EXPECT_EQ(Adjusted({100, 100, 100, 0}, -1, -1, INT32_MAX, 0).p0, 255);
  EXPECT_EQ(Adjusted({200, 100, 100, 0}, -1, -1, 0, INT32_MIN).p0, 0);
}

// The graphics program checks a corner of the square; here, negative sizes and one column.
TEST(DrawColourSquare, NegativeSizesMirrorAndOneColumnIsGrey) {
  Canvas plain(7, 5), flip_x(7, 5), flip_y(7, 5), line(1, 3);
  DrawColourSquare(plain.surface(), 1, 0, 5, 4, 99);
  DrawColourSquare(flip_x.surface(), 1, 0, -5, 4, 99);
  DrawColourSquare(flip_y.surface(), 1, 0, 5, -4, 99);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      EXPECT_EQ(flip_x.at(1 + x, y), plain.at(5 - x, y));
      EXPECT_EQ(flip_y.at(1 + x, y), plain.at(1 + x, 3 - y));
    }
  DrawColourSquare(line.surface(), 0, 0, 1, 3, 40);  // one column: saturation taken as 0
  EXPECT_EQ(line.at(0, 1), (Pixel{127, 127, 127, 255}));
}

}  // namespace
}  // namespace orva::graphics
