// Fills and copies: every optimised path against its slow version over a matrix of placements,
// clips, limits, alphas and inversion, bit for bit; the shrinking arithmetic worked by hand.
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

TEST(StretchBlit, ShrinksByShareRoundedDown) {
  std::vector<StretchSpan> spans;
  // Three pixels into two: 100 * 2/3 + 200 * 1/3 = 66 + 66; alpha 200 agrees and stays exact,
  // then the blend over a cleared pixel: 132 * 200 / 255 and 200 * 200 / 255.
  Canvas three(3, 1), two(2, 1);
  for (int32_t x = 0; x < 3; ++x)
    three.set(x, 0, {uint8_t(x == 1 ? 200 : 100 - 50 * (x / 2)), 5, 5, 200});
  StretchBlit(two.surface(), three.surface(), 0, 0, 2, 1, 0, 0, 3, 1, 0, 0, spans);
  EXPECT_EQ(two.at(0, 0), (Pixel{103, 3, 3, 156}));
}

TEST(StretchBlit, SpansOfWideBitmapsDoNotWrap) {
  // 32 * i * sw passes 2^31 here; the last destination pixel still maps to the last source one.
  Canvas src(1000, 1), dst(70000, 1);
  for (int32_t x = 0; x < 1000; ++x) src.set(x, 0, {uint8_t(x), 0, 0, 255});
  std::vector<StretchSpan> spans;
  StretchBlit(dst.surface(), src.surface(), 0, 0, 70000, 1, 0, 0, 1000, 1, 0, 0, spans);
  EXPECT_EQ(dst.at(69999, 0).p0, uint8_t(999));
  EXPECT_EQ(dst.at(35000, 0).p0, uint8_t(500));
}

TEST(CopyBlendRow, EveryKernelMatchesTheFormulaForAnyRunAndOverlap) {
  std::mt19937 rng(3);
  std::vector<uint8_t> src(4 * 80), base(4 * 80);
  for (auto& b : src) b = uint8_t(rng());
  for (auto& b : base) b = uint8_t(rng());
  for (int i = 16; i < 32; ++i) src[4 * i + 3] = 255;  // all-opaque blocks
  for (int i = 40; i < 56; ++i) src[4 * i + 3] = 0;    // all-transparent blocks
  auto formula = [](uint8_t* d, const uint8_t* s, int n, bool invert) {
    for (int i = 0; i < n; ++i)
      if (s[4 * i + 3])
        StorePixel(d + 4 * i, CopyBlend(LoadPixel(d + 4 * i), LoadPixel(s + 4 * i), invert));
  };
  for (BlitKernel k : {BlitKernel::kScalar, BlitKernel::kSse2, BlitKernel::kAvx2}) {
    if (!CopyBlendRowWith(k, nullptr, nullptr, 0, false)) continue;  // not on this processor
    for (bool invert : {false, true}) {
      for (int n = 0; n <= 64; n += n < 20 ? 1 : 7) {
        std::vector<uint8_t> got = base, want = base;
        CopyBlendRowWith(k, got.data() + 4 * (n % 3), src.data() + 4 * (n % 3), n, invert);
        formula(want.data() + 4 * (n % 3), src.data() + 4 * (n % 3), n, invert);
        ASSERT_EQ(got, want) << int(k) << " n=" << n;
      }
      for (int shift : {-9, -1, 1, 2, 5, 8, 17}) {  // within one buffer, read in pixel order
        std::vector<uint8_t> got = src, want = src;
        CopyBlendRowWith(k, got.data() + 4 * (20 + shift), got.data() + 80, 40, invert);
        for (int i = 0; i < 40; ++i)
          formula(want.data() + 4 * (20 + shift + i), want.data() + 80 + 4 * i, 1, invert);
        ASSERT_EQ(got, want) << int(k) << " shift=" << shift;
      }
    }
  }
}

TEST(FillBox, MatchesTheFormulaForEveryAlphaAndClip) {
  const ClipRect clips[] = {{0, 0, 13, 7}, {1, 2, 9, 3}, {12, 6, 1, 1}, {5, 5, 0, 2}};
  const int32_t areas[][4] = {
      {0, 0, 13, 7}, {-3, -3, 6, 6}, {2, 1, 11, 5}, {5, 3, -4, 2}, {3, 0, 1, 7}};
  int seed = 0;
  for (uint32_t colour : {0x00FFFFFFu, 0x01FF8040u, 0x80123456u, 0xFEFFFFFFu, 0xFF00FF7Fu})
    for (const ClipRect& clip : clips)
      for (const auto& a : areas) {
        Canvas fast(13, 7), slow(13, 7);
        fast.Scramble(++seed);
        slow.Scramble(seed);
        fast.surface().clip = slow.surface().clip = clip;
        FillBox(fast.surface(), BoxOf(a[0], a[1], a[2], a[3]),
                ColourBlend(StandardMapping(colour)));
        reference::FillBox(slow.surface(), a[0], a[1], a[2], a[3], colour);
        ASSERT_TRUE(fast == slow) << std::hex << colour << " seed " << seed;
      }
}

struct Copy {
  int32_t dx, dy, dw, dh, sx, sy, sw, sh, x_limit, y_limit;
};

// Blit (dw x dh, with the source size ignored) and StretchBlit against the literal loops, from a
// second bitmap or within one, with random, opaque, transparent and mixed alphas.
TEST(Copies, MatchTheLiteralLoopsBitForBit) {
  const Copy copies[] = {
      {0, 0, 9, 7, 0, 0, 9, 7, 0, 0},     {3, 2, 4, 3, 1, 1, 9, 7, 0, 0},
      {-2, -3, 9, 7, 0, 0, 4, 3, 0, 0},   {1, 1, 3, 2, 0, 0, 7, 5, 20, 0},
      {1, 1, 3, 2, 2, 1, 2, 2, 0, 13},    {-5, -4, 4, 3, 0, 0, 9, 7, 19, 12},
      {2, 2, 6, 5, -3, -2, 3, 3, 17, 11}, {0, 0, 9, 7, 5, 4, 9, 7, 0, 0},
      {7, 1, 5, 4, 0, 0, 2, 2, 3, 0},     {0, 0, 9, 7, 0, 0, 9, 7, -1, -1},
      {15, 9, 9, 7, 8, 6, 1, 1, 0, 0},    {-7, 0, 3, 7, 0, 0, 9, 7, 30, 0},
      {0, 0, 17, 11, 0, 0, 9, 7, 0, 0},   {0, 0, 2, 9, -2, -1, 8, 4, 0, 0},
      {0, 0, 17, 1, 0, 3, 1, 1, 0, 11},   {0, 0, 1, 1, 0, 0, 9, 7, 17, 11},
  };
  const ClipRect clips[] = {{0, 0, 18, 12}, {2, 1, 11, 7}, {5, 3, 1, 1}, {0, 0, 0, 12}};
  int seed = 0;
  for (const Copy& t : copies)
    for (const ClipRect& clip : clips)
      for (int alphas = 0; alphas < 4; ++alphas)
        for (int kind = 0; kind < 4; ++kind) {  // bit 0: within one bitmap; bit 1: stretch
          ++seed;
          Canvas src(9, 7), fast(18, 12), slow(18, 12);
          src.Scramble(seed);
          for (int32_t y = 0; y < 7; ++y)
            for (int32_t x = 0; x < 9; ++x) {
              Pixel p = src.at(x, y);
              p.p3 = alphas == 0   ? p.p3
                     : alphas == 1 ? 255
                     : alphas == 2 ? 0
                                   : (x / 2 + y) % 2 * 255;
              src.set(x, y, p);
            }
          fast.Scramble(seed + 1000);
          slow.Scramble(seed + 1000);
          fast.surface().clip = slow.surface().clip = clip;
          const bool same = kind & 1, invert = seed % 3 == 0;
          const Surface& sf = same ? fast.surface() : src.surface();
          const Surface& ss = same ? slow.surface() : src.surface();
          if (kind & 2) {
            std::vector<StretchSpan> spans;
            StretchBlit(fast.surface(), sf, t.dx, t.dy, t.dw, t.dh, t.sx, t.sy, t.sw, t.sh,
                        t.x_limit, t.y_limit, spans);
            reference::StretchBlit(slow.surface(), ss, t.dx, t.dy, t.dw, t.dh, t.sx, t.sy, t.sw,
                                   t.sh, t.x_limit, t.y_limit);
          } else {
            Blit(fast.surface(), sf, t.dx, t.dy, t.sx, t.sy, t.dw, t.dh, invert, t.x_limit,
                 t.y_limit);
            reference::Blit(slow.surface(), ss, t.dx, t.dy, t.sx, t.sy, t.dw, t.dh, invert,
                            t.x_limit, t.y_limit);
          }
          ASSERT_TRUE(fast == slow)
              << "copy " << (&t - copies) << " kind " << kind << " seed " << seed;
        }
}

}  // namespace
}  // namespace orva::graphics
