// Same-size copies: tiling, inversion, sources reaching outside their bitmap, copies within one
// bitmap, and the vector kernels against the blend formula.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "graphics/blit_row.h"
#include "graphics/canvas.h"
#include "graphics/raster.h"
#include "graphics/reference.h"

namespace orva::graphics {
namespace {

using testing::Canvas;

TEST(Blit, TilesRepeatFromTheStartAndTheLastIsCutAtTheLimit) {
  // 16 x 16 blocks from dx = 3 up to dx + 40: at 3, 19 and 35, the last 8 columns wide.
  Canvas src(16, 16), dst(60, 20, {0, 0, 0, 255});
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) src.set(x, y, {static_cast<uint8_t>(x + 1), 0, 0, 255});
  Blit(dst.surface(), src.surface(), 3, 2, 0, 0, 16, 16, false, 43, 0);
  for (int32_t x = 0; x < 60; ++x) {
    uint8_t expected = x >= 3 && x < 43 ? static_cast<uint8_t>((x - 3) % 16 + 1) : 0;
    EXPECT_EQ(dst.at(x, 2).p0, expected) << x;
    EXPECT_EQ(dst.at(x, 17).p0, expected) << x;
  }
  EXPECT_EQ(dst.at(10, 1).p0, 0);
  EXPECT_EQ(dst.at(10, 18).p0, 0);
}

TEST(Blit, VerticalTilesStartAtDyAndStopBeforeTheLimit) {
  Canvas src(1, 3), dst(1, 10);
  for (int32_t y = 0; y < 3; ++y) src.set(0, y, {static_cast<uint8_t>(y + 1), 0, 0, 255});
  Blit(dst.surface(), src.surface(), 0, 1, 0, 0, 1, 3, false, 0, 9);
  std::string column;
  for (int32_t y = 0; y < 10; ++y) column += static_cast<char>('0' + dst.at(0, y).p0);
  EXPECT_EQ(column, "0123123120");
}

TEST(Blit, LimitAtOrBeforeTheStartDrawsNothing) {
  Canvas src(2, 2, {9, 9, 9, 255}), dst(8, 8);
  Blit(dst.surface(), src.surface(), 4, 4, 0, 0, 2, 2, false, 4, 0);
  Blit(dst.surface(), src.surface(), 4, 4, 0, 0, 2, 2, false, 0, -3);
  Blit(dst.surface(), src.surface(), 4, 4, 0, 0, 0, 2, false, 0, 0);
  Blit(dst.surface(), src.surface(), 4, 4, 0, 0, 2, -1, false, 0, 0);
  EXPECT_EQ(dst.Mask(), Canvas(8, 8).Mask());
}

TEST(Blit, SourcePixelsOutsideTheSourceBitmapAreSkipped) {
  Canvas src(2, 2, {7, 7, 7, 255}), dst(6, 4, {1, 1, 1, 255});
  Blit(dst.surface(), src.surface(), 0, 0, -1, -1, 6, 4, false, 0, 0);
  EXPECT_EQ(dst.Grid({{0xFF010101, '.'}, {0xFF070707, '#'}}), "......\n.##...\n.##...\n......\n");
  EXPECT_TRUE(src.GuardsIntact());
}

TEST(Blit, InvertingAnOpaqueWhiteSourceDrawsBlack) {
  Canvas src(3, 1, {255, 255, 255, 255}), dst(3, 1, {10, 20, 30, 0});
  Blit(dst.surface(), src.surface(), 0, 0, 0, 0, 3, 1, true, 3, 0);
  EXPECT_EQ(dst.at(2, 0), (Pixel{0, 0, 0, 255}));
}

TEST(Blit, CopyWithinOneBitmapReadsWhatItWroteInRowOrder) {
  // Shifting a row one pixel right pixel by pixel smears its first pixel along the run.
  Canvas c(10, 1);
  for (int32_t x = 0; x < 10; ++x) c.set(x, 0, {static_cast<uint8_t>(x), 0, 0, 255});
  Blit(c.surface(), c.surface(), 1, 0, 0, 0, 9, 1, false, 0, 0);
  for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(c.at(x, 0).p0, 0) << x;
}

// Every kernel gives the blend formula for all alphas, for runs of every length and alignment,
// including runs that overlap their own source.
TEST(CopyBlendRow, EveryKernelMatchesTheFormula) {
  std::mt19937 rng(3);
  std::vector<uint8_t> src(4 * 80), base(4 * 80);
  for (auto& b : src) b = static_cast<uint8_t>(rng());
  for (auto& b : base) b = static_cast<uint8_t>(rng());
  // Runs of all-opaque and all-transparent blocks, to reach the shortcuts.
  for (int i = 16; i < 32; ++i) src[4 * i + 3] = 255;
  for (int i = 40; i < 56; ++i) src[4 * i + 3] = 0;
  for (BlitKernel k : {BlitKernel::kScalar, BlitKernel::kSse2, BlitKernel::kAvx2}) {
    if (!CopyBlendRowWith(k, nullptr, nullptr, 0, false)) continue;  // not on this processor
    for (bool invert : {false, true}) {
      for (size_t n = 0; n <= 64; n += (n < 20 ? 1 : 7)) {
        for (size_t offset : {size_t{0}, size_t{1}, size_t{13}}) {
          std::vector<uint8_t> got = base, want = base;
          CopyBlendRowWith(k, got.data() + 4 * offset, src.data() + 4 * offset, n, invert);
          for (size_t i = offset; i < offset + n; ++i) {
            Pixel s = LoadPixel(&src[4 * i]);
            if (s.p3) StorePixel(&want[4 * i], CopyBlend(LoadPixel(&want[4 * i]), s, invert));
          }
          ASSERT_EQ(got, want) << static_cast<int>(k) << " n=" << n << " invert=" << invert;
        }
      }
      // Overlapping runs within one buffer, in both directions, against pixel-by-pixel order.
      for (int shift : {-9, -3, -1, 1, 2, 5, 8, 17}) {
        std::vector<uint8_t> got = src, want = src;
        uint8_t* gs = got.data() + 4 * 20;
        uint8_t* ws = want.data() + 4 * 20;
        CopyBlendRowWith(k, gs + 4 * shift, gs, 40, invert);
        for (int i = 0; i < 40; ++i) {
          Pixel s = LoadPixel(ws + 4 * i);
          if (s.p3)
            StorePixel(ws + 4 * (i + shift), CopyBlend(LoadPixel(ws + 4 * (i + shift)), s, invert));
        }
        ASSERT_EQ(got, want) << static_cast<int>(k) << " shift=" << shift;
      }
    }
  }
}

struct BlitCase {
  int32_t dx, dy, sx, sy, w, h, x_limit, y_limit;
};

// The fast copy against the literal tile loops over a matrix of placements, clips, limits and
// alphas, both between two bitmaps and within one.
TEST(Blit, MatchesTheTileLoopsBitForBit) {
  const BlitCase cases[] = {
      {0, 0, 0, 0, 9, 7, 0, 0},     {3, 2, 1, 1, 4, 3, 0, 0},   {-2, -3, 0, 0, 9, 7, 0, 0},
      {1, 1, 0, 0, 3, 2, 20, 0},    {1, 1, 2, 1, 3, 2, 0, 13},  {-5, -4, 0, 0, 4, 3, 19, 12},
      {2, 2, -3, -2, 6, 5, 17, 11}, {0, 0, 5, 4, 9, 7, 0, 0},   {4, 3, 0, 0, 1, 1, 16, 9},
      {7, 1, 0, 0, 5, 4, 3, 0},     {0, 0, 0, 0, 9, 7, -1, -1}, {15, 9, 8, 6, 9, 7, 0, 0},
      {2, 1, 1, 0, 7, 6, 18, 12},   {-7, 0, 0, 0, 3, 7, 30, 0},
  };
  const ClipRect clips[] = {{0, 0, 18, 12}, {2, 1, 11, 7}, {5, 3, 1, 1}, {0, 0, 0, 12}};
  int seed = 0;
  for (const BlitCase& t : cases) {
    for (const ClipRect& clip : clips) {
      for (int alpha_mode = 0; alpha_mode < 4; ++alpha_mode) {
        for (bool invert : {false, true}) {
          for (bool same : {false, true}) {
            ++seed;
            Canvas src_fast(9, 7), src_slow(9, 7), dst_fast(18, 12), dst_slow(18, 12);
            src_fast.Scramble(seed);
            dst_fast.Scramble(seed + 1000);
            // Alpha: random, opaque, transparent, or half the pixels each way.
            for (int32_t y = 0; y < 7; ++y) {
              for (int32_t x = 0; x < 9; ++x) {
                Pixel p = src_fast.at(x, y);
                if (alpha_mode == 1) p.p3 = 255;
                if (alpha_mode == 2) p.p3 = 0;
                if (alpha_mode == 3) p.p3 = (x / 2 + y) % 2 ? 255 : 0;
                src_fast.set(x, y, p);
              }
            }
            for (int32_t y = 0; y < 7; ++y)
              for (int32_t x = 0; x < 9; ++x) src_slow.set(x, y, src_fast.at(x, y));
            for (int32_t y = 0; y < 12; ++y)
              for (int32_t x = 0; x < 18; ++x) dst_slow.set(x, y, dst_fast.at(x, y));
            dst_fast.surface().clip = dst_slow.surface().clip = clip;
            const Surface& sf = same ? dst_fast.surface() : src_fast.surface();
            const Surface& ss = same ? dst_slow.surface() : src_slow.surface();
            Blit(dst_fast.surface(), sf, t.dx, t.dy, t.sx, t.sy, t.w, t.h, invert, t.x_limit,
                 t.y_limit);
            reference::Blit(dst_slow.surface(), ss, t.dx, t.dy, t.sx, t.sy, t.w, t.h, invert,
                            t.x_limit, t.y_limit);
            ASSERT_TRUE(dst_fast.SamePixels(dst_slow))
                << "case " << (&t - cases) << " seed " << seed;
            ASSERT_TRUE(dst_fast.GuardsIntact());
          }
        }
      }
    }
  }
}

TEST(Blit, HugeArgumentsTouchNothingOutsideEitherBitmap) {
  Canvas src(5, 5, {1, 2, 3, 200}), dst(7, 6);
  const int32_t big = INT32_MAX, small = INT32_MIN;
  const BlitCase cases[] = {
      {small, small, 0, 0, big, big, big, big}, {0, 0, small, small, big, big, 0, 0},
      {-3, -3, big, big, big, 2, 0, 0},         {small, 0, 0, 0, 1, 1, big, 0},
      {big, big, 0, 0, big, big, 0, 0},         {0, 0, -2, -2, 1, 1, big, big}};
  for (const BlitCase& t : cases) {
    Blit(dst.surface(), src.surface(), t.dx, t.dy, t.sx, t.sy, t.w, t.h, false, t.x_limit,
         t.y_limit);
  }
  EXPECT_TRUE(dst.GuardsIntact());
  EXPECT_TRUE(src.GuardsIntact());
}

}  // namespace
}  // namespace orva::graphics
