// Lines: Bresenham's steps in every octant, the clipping cases, the pattern and its phase, and
// the clipped walk against a walk of every point.
#include <gtest/gtest.h>

#include <random>

#include "graphics/canvas.h"
#include "graphics/raster.h"
#include "graphics/reference.h"

namespace orva::graphics {
namespace {

using testing::Canvas;
constexpr uint64_t kSolid = ~uint64_t{0};

std::string Line(int32_t w, int32_t h, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Canvas c(w, h);
  uint64_t pattern = kSolid;
  DrawLine(c.surface(), x1, y1, x2, y2, ColourBlend(StandardMapping(0xFFFF0000)), pattern);
  return c.Mask();
}

TEST(DrawLine, ShallowOctantsStepTheMinorAxisOnlyWhenTheErrorIsPositive) {
  // err starts at 2dy - dx = 0, and an error of 0 keeps the row.
  EXPECT_EQ(Line(5, 3, 0, 0, 4, 2), "##...\n..##.\n....#\n");
  EXPECT_EQ(Line(5, 3, 4, 2, 0, 0), "#....\n.##..\n...##\n");
  EXPECT_EQ(Line(5, 3, 4, 0, 0, 2), "...##\n.##..\n#....\n");
  EXPECT_EQ(Line(5, 3, 0, 2, 4, 0), "....#\n..##.\n##...\n");
}

TEST(DrawLine, SteepOctantsStepTheMinorAxisOnlyWhenTheErrorIsPositive) {
  EXPECT_EQ(Line(3, 5, 0, 0, 2, 4), "#..\n#..\n.#.\n.#.\n..#\n");
  EXPECT_EQ(Line(3, 5, 2, 4, 0, 0), "#..\n.#.\n.#.\n..#\n..#\n");
  EXPECT_EQ(Line(3, 5, 2, 0, 0, 4), "..#\n..#\n.#.\n.#.\n#..\n");
  EXPECT_EQ(Line(3, 5, 0, 4, 2, 0), "..#\n.#.\n.#.\n#..\n#..\n");
}

TEST(DrawLine, DiagonalsAndAxisLinesInBothDirections) {
  EXPECT_EQ(Line(3, 3, 2, 0, 0, 2), "..#\n.#.\n#..\n");
  EXPECT_EQ(Line(4, 2, 3, 1, 1, 1), "....\n.###\n");
  EXPECT_EQ(Line(2, 4, 0, 3, 0, 1), "..\n#.\n#.\n#.\n");
  EXPECT_EQ(Line(2, 2, 1, 1, 1, 1), "..\n.#\n");
}

TEST(DrawLine, PatternPhaseCarriesOverToTheNextLine) {
  Canvas c(11, 2);
  const uint64_t start = 0xF0F0F0F0F0F0F0F0ull;
  uint64_t pattern = start;
  ColourBlend red(StandardMapping(0xFFFF0000));
  DrawLine(c.surface(), 0, 0, 10, 0, red, pattern);
  EXPECT_EQ(pattern, (start << 11) | (start >> 53));
  // Bits 11.. of the pattern are 1 0000 1111 00, taken from column 10 leftwards.
  DrawLine(c.surface(), 10, 1, 0, 1, red, pattern);
  EXPECT_EQ(c.Mask(), "####....###\n..####....#\n");
}

TEST(DrawLine, PointsOutsideTheClipTakeNoPatternBit) {
  Canvas c(6, 3);
  c.SetClip(2, 0, 4, 3);
  uint64_t pattern = 0xAAAAAAAAAAAAAAAAull;  // 1010...
  DrawLine(c.surface(), 0, 0, 5, 2, ColourBlend(StandardMapping(0xFFFF0000)), pattern);
  // Points (0,0) (1,0) are outside; (2,1) takes the first bit (1), (3,1) a 0, (4,2) a 1.
  EXPECT_EQ(c.Mask(), "......\n..#...\n....#.\n");
}

TEST(DrawLine, VerticalLineIsCutToTheClipRowsAndReportsTheCutRun) {
  Canvas c(8, 12);
  c.SetClip(0, 4, 8, 4);                     // rows 4-7
  uint64_t pattern = 0x8000000000000000ull;  // only the first pixel considered is drawn
  auto drawn =
      DrawLine(c.surface(), 5, 10, 5, 2, ColourBlend(StandardMapping(0xFFFF0000)), pattern);
  ASSERT_TRUE(drawn);
  EXPECT_EQ(drawn->left, 5);
  EXPECT_EQ(drawn->top, 4);
  EXPECT_EQ(drawn->width(), 1);
  EXPECT_EQ(drawn->height(), 4);
  EXPECT_EQ(c.at(5, 7).p0, 255);  // drawn bottom to top: row 7 came first
  EXPECT_EQ(pattern, 0x0000000000000008ull);
}

TEST(DrawLine, LinesMissingTheClipDrawNothingButSlantedOnesStillReportTheirBox) {
  Canvas c(4, 4);
  c.SetClip(1, 1, 2, 2);
  uint64_t pattern = 0x123456789ABCDEF0ull;
  ColourBlend red(StandardMapping(0xFFFF0000));
  EXPECT_FALSE(DrawLine(c.surface(), 0, 0, 0, 3, red, pattern));
  EXPECT_FALSE(DrawLine(c.surface(), 0, 3, 3, 3, red, pattern));
  EXPECT_FALSE(DrawLine(c.surface(), 3, 0, 3, 0, red, pattern));
  EXPECT_FALSE(DrawLine(c.surface(), 1, 3, 1, 3000, red, pattern));
  auto box = DrawLine(c.surface(), 3, 0, 7, 1, red, pattern);
  ASSERT_TRUE(box);
  EXPECT_EQ((std::array{box->left, box->top, box->right, box->bottom}),
            (std::array<int64_t, 4>{3, 0, 8, 2}));
  EXPECT_EQ(pattern, 0x123456789ABCDEF0ull);
  EXPECT_EQ(c.Mask(), "....\n....\n....\n....\n");
}

TEST(DrawLine, EndpointsAtTheEdgesOfThe32BitRangeStepExactly) {
  // dx = 2^32 - 5, dy = 1: the single row step comes at point 2^31 - 2, which is column 2.
  EXPECT_EQ(Line(6, 2, INT32_MIN + 4, 0, INT32_MAX, 1), "##....\n..####\n");
  EXPECT_EQ(Line(3, 3, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), "#..\n.#.\n..#\n");
  EXPECT_EQ(Line(2, 3, 1, INT32_MAX, 1, INT32_MIN), ".#\n.#\n.#\n");
}

TEST(DrawLine, ClippedWalkMatchesWalkingEveryPoint) {
  std::mt19937 rng(7);
  auto coord = [&](int spread) { return static_cast<int32_t>(rng() % (2 * spread + 1)) - spread; };
  for (int n = 0; n < 4000; ++n) {
    Canvas fast(20, 16), slow(20, 16);
    fast.Scramble(n);
    slow.Scramble(n);
    int32_t cx = coord(4) + 4, cy = coord(4) + 4, cw = coord(14), ch = coord(12);
    ClipRect clip = ClampClip({cx, cy, cw, ch}, 20, 16);
    fast.surface().clip = slow.surface().clip = clip;
    int spread = n % 3 == 0 ? 3000 : 30;
    int32_t x1 = coord(spread) + 10, y1 = coord(spread) + 8, x2 = coord(spread) + 10,
            y2 = coord(spread) + 8;
    if (n % 7 == 0) x2 = x1;
    if (n % 11 == 0) y2 = y1;
    uint32_t colour = rng();
    uint64_t p_fast = (uint64_t{rng()} << 32) | rng(), p_slow = p_fast;
    bool drew_fast =
        DrawLine(fast.surface(), x1, y1, x2, y2, ColourBlend(StandardMapping(colour)), p_fast)
            .has_value();
    bool drew_slow = reference::DrawLine(slow.surface(), x1, y1, x2, y2, colour, p_slow);
    ASSERT_TRUE(fast.SamePixels(slow)) << x1 << "," << y1 << " -> " << x2 << "," << y2;
    ASSERT_EQ(p_fast, p_slow);
    ASSERT_EQ(drew_fast, drew_slow);
    ASSERT_TRUE(fast.GuardsIntact());
  }
}

}  // namespace
}  // namespace orva::graphics
