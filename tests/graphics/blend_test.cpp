#include "graphics/blend.h"

#include <gtest/gtest.h>

namespace orva::graphics {
namespace {

TEST(Div255, IsExactForEveryProductOfTwoBytes) {
  for (uint32_t a = 0; a < 256; ++a)
    for (uint32_t b = 0; b < 256; ++b) ASSERT_EQ(Div255(a * b), a * b / 255) << a << " * " << b;
}

TEST(ColourBlend, HalfAlphaOverOpaquePixelGivesAlpha191) {
  // p3 = 255 * 127 / 255 + 128 * 128 / 255 = 127 + 64; p0 = 0 + 255 * 128 / 255 = 128.
  Pixel p = ColourBlend(StandardMapping(0x80FF0000)).Apply({0, 0, 0, 255});
  EXPECT_EQ(p, (Pixel{128, 0, 0, 191}));
}

TEST(ColourBlend, AlphaZeroKeepsThePixelAndAlpha255ReplacesIt) {
  const Pixel p{12, 34, 56, 78};
  EXPECT_EQ(ColourBlend(StandardMapping(0x00FFFFFF)).Apply(p), p);
  EXPECT_EQ(ColourBlend(StandardMapping(0xFF112233)).Apply(p), (Pixel{0x11, 0x22, 0x33, 255}));
}

TEST(CopyBlend, OpaqueSourceReplacesColourAndMakesAlphaOpaque) {
  EXPECT_EQ(CopyBlend({9, 9, 9, 0}, {1, 2, 3, 255}, false), (Pixel{1, 2, 3, 255}));
  EXPECT_EQ(CopyBlend({9, 9, 9, 100}, {1, 2, 3, 255}, false), (Pixel{1, 2, 3, 255}));
}

TEST(CopyBlend, AlphaAccumulatesInsteadOfBlending) {
  // 128 over 200 saturates; the colour is 255 * 128 / 255 + 0 = 128.
  EXPECT_EQ(CopyBlend({0, 0, 0, 200}, {255, 255, 255, 128}, false), (Pixel{128, 128, 128, 255}));
  EXPECT_EQ(CopyBlend({0, 0, 0, 20}, {0, 0, 0, 30}, false).p3, 50);
}

TEST(CopyBlend, InvertTurnsOpaqueWhiteToBlackAndKeepsAlpha) {
  EXPECT_EQ(CopyBlend({50, 60, 70, 10}, {255, 255, 255, 255}, true), (Pixel{0, 0, 0, 255}));
  // Inverted 55 is 200: 200 * 51 / 255 + 100 * 204 / 255 = 40 + 80.
  EXPECT_EQ(CopyBlend({100, 0, 0, 0}, {55, 0, 0, 51}, true).p0, 120);
}

TEST(ScaledBlend, AlphaFollowsTheColourBlendCappedAt255) {
  // 128 * 128 / 255 + 200 * 127 / 255 = 64 + 99.
  EXPECT_EQ(ScaledBlend({0, 0, 0, 200}, {255, 0, 0, 128}), (Pixel{128, 0, 0, 163}));
  EXPECT_EQ(ScaledBlend({7, 7, 7, 255}, {1, 2, 3, 255}), (Pixel{1, 2, 3, 255}));
}

}  // namespace
}  // namespace orva::graphics
