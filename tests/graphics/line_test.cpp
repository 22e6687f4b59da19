// Lines: Bresenham's steps in every octant, clipping, the pattern and its phase.
#include <gtest/gtest.h>

#include <random>

#include "graphics/canvas.h"
#include "graphics/raster.h"

namespace orva::graphics {
namespace {

using testing::Canvas;
const ColourBlend kRed(StandardMapping(0xFFFF0000));

std::string Line(int32_t w, int32_t h, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Canvas c(w, h);
  uint64_t pattern = ~uint64_t{0};
  DrawLine(c.surface(), x1, y1, x2, y2, kRed, pattern);
  return c.Mask();
}

TEST(DrawLine, StepsTheMinorAxisOnlyWhenTheErrorIsPositiveInEveryOctant) {
  // err starts at 2 * minor - major = 0 here, and an error of 0 keeps the minor coordinate.
  EXPECT_EQ(Line(5, 3, 0, 0, 4, 2), "##...\n..##.\n....#\n");
  EXPECT_EQ(Line(5, 3, 4, 2, 0, 0), "#....\n.##..\n...##\n");
  EXPECT_EQ(Line(5, 3, 4, 0, 0, 2), "...##\n.##..\n#....\n");
  EXPECT_EQ(Line(5, 3, 0, 2, 4, 0), "....#\n..##.\n##...\n");
  EXPECT_EQ(Line(3, 5, 0, 0, 2, 4), "#..\n#..\n.#.\n.#.\n..#\n");
  EXPECT_EQ(Line(3, 5, 2, 4, 0, 0), "#..\n.#.\n.#.\n..#\n..#\n");
  EXPECT_EQ(Line(3, 5, 2, 0, 0, 4), "..#\n..#\n.#.\n.#.\n#..\n");
  EXPECT_EQ(Line(3, 5, 0, 4, 2, 0), "..#\n.#.\n.#.\n#..\n#..\n");
  EXPECT_EQ(Line(2, 2, 1, 1, 1, 1), "..\n.#\n");
}

TEST(DrawLine, EndpointsAtTheEdgesOfThe32BitRangeStepExactly) {
  // dx = 2^32 - 5, dy = 1: the one row step comes at point 2^31 - 2, which is column 2.
  EXPECT_EQ(Line(6, 2, INT32_MIN + 4, 0, INT32_MAX, 1), "##....\n..####\n");
  EXPECT_EQ(Line(3, 3, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), "#..\n.#.\n..#\n");
  EXPECT_EQ(Line(2, 3, 1, INT32_MAX, 1, INT32_MIN), ".#\n.#\n.#\n");
}

TEST(DrawLine, PatternPhaseCarriesOverAndPointsOutsideTheClipTakeNoBit) {
  Canvas c(11, 2);
  const uint64_t start = 0xF0F0F0F0F0F0F0F0ull;  // 1111 0000 ... from bit 63
  uint64_t pattern = start;
  DrawLine(c.surface(), 0, 0, 10, 0, kRed, pattern);
  EXPECT_EQ(pattern, (start << 11) | (start >> 53));
  DrawLine(c.surface(), 10, 1, 0, 1, kRed, pattern);  // bits 11.. are 1 0000 1111 00
  EXPECT_EQ(c.Mask(), "####....###\n..####....#\n");

  Canvas d(6, 3);
  d.SetClip(2, 0, 4, 3);
  pattern = 0xAAAAAAAAAAAAAAAAull;
  DrawLine(d.surface(), 0, 0, 5, 2, kRed, pattern);  // (2,1) takes the first bit, (4,2) the third
  EXPECT_EQ(d.Mask(), "......\n..#...\n....#.\n");
}

// A clipped line starts its walk where it enters the clip: it must draw exactly the part of the
// unclipped line that lies inside.
TEST(DrawLine, ClippedWalkDrawsExactlyTheInsidePartOfTheFullWalk) {
  std::mt19937 rng(7);
  for (int n = 0; n < 3000; ++n) {
    const int32_t x1 = rng() % 64, y1 = rng() % 48, x2 = rng() % 64, y2 = rng() % 48;
    Canvas full(64, 48), cut(64, 48);
    const ClipRect clip{int32_t(rng() % 40), int32_t(rng() % 30), int32_t(rng() % 30),
                        int32_t(rng() % 20)};
    cut.surface().clip = clip;
    uint64_t p1 = ~uint64_t{0}, p2 = p1;
    DrawLine(full.surface(), x1, y1, x2, y2, kRed, p1);
    DrawLine(cut.surface(), x1, y1, x2, y2, kRed, p2);
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x)
        ASSERT_EQ(cut.at(x, y), clip.box().Contains(x, y) ? full.at(x, y) : Pixel{})
            << x1 << "," << y1 << " -> " << x2 << "," << y2 << " at " << x << "," << y;
  }
}

}  // namespace
}  // namespace orva::graphics
