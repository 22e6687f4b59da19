// Resampling copies: the worked examples, the fall-back to Blit, and the fast path against the
// literal per-pixel walk.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/canvas.h"
#include "graphics/raster.h"
#include "graphics/reference.h"

namespace orva::graphics {
namespace {

using testing::Canvas;

void Stretch(Canvas& dst, const Canvas& src, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
             int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t x_limit = 0,
             int32_t y_limit = 0) {
  std::vector<StretchSpan> spans;
  StretchBlit(dst.surface(), src.surface(), dx, dy, dw, dh, sx, sy, sw, sh, x_limit, y_limit,
              spans);
}

TEST(StretchBlit, ShrinkingTwoByTwoToOneSumsQuartersRoundedDownEach) {
  Canvas src(2, 2), dst(1, 1, {9, 9, 9, 0});
  src.set(0, 0, {1, 40, 200, 255});
  src.set(1, 0, {2, 41, 201, 255});
  src.set(0, 1, {3, 42, 202, 255});
  src.set(1, 1, {7, 43, 203, 255});
  Stretch(dst, src, 0, 0, 1, 1, 0, 0, 2, 2);
  // 1/4 + 2/4 + 3/4 + 7/4 rounds each term down: 1, not (1 + 2 + 3 + 7) / 4 = 3.
  EXPECT_EQ(dst.at(0, 0), (Pixel{1, 10 + 10 + 10 + 10, 50 + 50 + 50 + 50, 255}));
}

TEST(StretchBlit, EnlargingOnePixelRepeatsItExactly) {
  Canvas src(1, 1, {13, 77, 254, 255}), dst(5, 5);
  Stretch(dst, src, 1, 1, 3, 3, 0, 0, 1, 1);
  EXPECT_EQ(dst.Grid({{0, '.'}, {0xFF0D4DFE, '#'}}), ".....\n.###.\n.###.\n.###.\n.....\n");
}

TEST(StretchBlit, AgreeingChannelsKeepTheirValueWhileOthersAreAveraged) {
  // Three source pixels into two: each destination pixel covers 1.5 source pixels. Alpha 200
  // agrees everywhere and stays 200 exactly; the colour is the weighted sum.
  Canvas src(3, 1), dst(2, 1, {0, 0, 0, 0});
  src.set(0, 0, {100, 5, 5, 200});
  src.set(1, 0, {200, 5, 5, 200});
  src.set(2, 0, {50, 5, 5, 200});
  Stretch(dst, src, 0, 0, 2, 1, 0, 0, 3, 1);
  // Pixel 0 spans 0..48 of 1/32: 100 * 1024/1536 + 200 * 512/1536 = 66 + 66 = 132, then the
  // scaled blend over a cleared pixel: 132 * 200 / 255 = 103; p1 = 5 * 200 / 255 = 3.
  // p3 = 200 * 200 / 255 = 156.
  EXPECT_EQ(dst.at(0, 0), (Pixel{103, 3, 3, 156}));
}

TEST(StretchBlit, EqualSizesCopyLikeBlitWithoutInversion) {
  Canvas src(6, 5), a(20, 12), b(20, 12);
  src.Scramble(1);
  a.Scramble(2);
  b.Scramble(2);
  Stretch(a, src, 2, 1, 6, 5, 0, 0, 6, 5, 19, 11);
  Blit(b.surface(), src.surface(), 2, 1, 0, 0, 6, 5, false, 19, 11);
  EXPECT_TRUE(a.SamePixels(b));
}

TEST(StretchBlit, SizesBelowOneDrawNothing) {
  Canvas src(2, 2, {1, 1, 1, 255}), dst(4, 4);
  Stretch(dst, src, 0, 0, 0, 4, 0, 0, 2, 2);
  Stretch(dst, src, 0, 0, 4, 4, 0, 0, 2, -1);
  EXPECT_EQ(dst.Mask(), Canvas(4, 4).Mask());
}

TEST(StretchBlit, SpansOfWideBitmapsDoNotWrap) {
  // 32 * i * sw passes 2^31 here: the last destination pixel still maps to the last source one.
  Canvas src(1000, 1), dst(70000, 1);
  for (int32_t x = 0; x < 1000; ++x) src.set(x, 0, {static_cast<uint8_t>(x), 0, 0, 255});
  Stretch(dst, src, 0, 0, 70000, 1, 0, 0, 1000, 1);
  EXPECT_EQ(dst.at(69999, 0).p0, static_cast<uint8_t>(999));
  EXPECT_EQ(dst.at(35000, 0).p0, static_cast<uint8_t>(500));
}

struct StretchCase {
  int32_t dx, dy, dw, dh, sx, sy, sw, sh, x_limit, y_limit;
};

TEST(StretchBlit, MatchesTheLiteralWalkBitForBit) {
  const StretchCase cases[] = {
      {0, 0, 17, 11, 0, 0, 9, 7, 0, 0}, {1, 2, 4, 3, 0, 0, 9, 7, 0, 0},
      {0, 0, 3, 2, 1, 1, 7, 5, 17, 11}, {-3, -2, 20, 14, 0, 0, 9, 7, 0, 0},
      {2, 1, 5, 5, 2, 2, 3, 3, 15, 10}, {0, 0, 2, 9, -2, -1, 8, 4, 0, 0},
      {0, 0, 17, 1, 0, 3, 1, 1, 0, 11}, {5, 5, 1, 1, 0, 0, 9, 7, 0, 0},
      {0, 0, 9, 7, 4, 3, 9, 7, 0, 0},   {3, 0, 7, 3, 0, 0, 2, 2, 1, 0},
      {0, 0, 17, 11, 8, 6, 2, 2, 0, 0}, {0, 0, 1, 1, 0, 0, 9, 7, 17, 11},
  };
  const ClipRect clips[] = {{0, 0, 17, 11}, {3, 2, 6, 5}, {0, 0, 17, 0}};
  int seed = 0;
  for (const StretchCase& t : cases) {
    for (const ClipRect& clip : clips) {
      for (bool flat : {false, true}) {
        for (bool same : {false, true}) {
          ++seed;
          Canvas src(9, 7), fast(17, 11), slow(17, 11);
          src.Scramble(seed);
          if (flat) {  // large agreeing areas, some transparent
            for (int32_t y = 0; y < 7; ++y)
              for (int32_t x = 0; x < 9; ++x)
                src.set(x, y,
                        {static_cast<uint8_t>(x / 3 * 80), 9, static_cast<uint8_t>(y * 30),
                         static_cast<uint8_t>(x < 2 ? 0 : 255)});
          }
          fast.Scramble(seed + 500);
          slow.Scramble(seed + 500);
          fast.surface().clip = slow.surface().clip = clip;
          std::vector<StretchSpan> spans;
          StretchBlit(fast.surface(), same ? fast.surface() : src.surface(), t.dx, t.dy, t.dw, t.dh,
                      t.sx, t.sy, t.sw, t.sh, t.x_limit, t.y_limit, spans);
          reference::StretchBlit(slow.surface(), same ? slow.surface() : src.surface(), t.dx, t.dy,
                                 t.dw, t.dh, t.sx, t.sy, t.sw, t.sh, t.x_limit, t.y_limit);
          ASSERT_TRUE(fast.SamePixels(slow)) << "case " << (&t - cases) << " seed " << seed;
          ASSERT_TRUE(fast.GuardsIntact());
        }
      }
    }
  }
}

}  // namespace
}  // namespace orva::graphics
