// Filling areas, against the formula applied pixel by pixel.
#include <gtest/gtest.h>

#include "graphics/canvas.h"
#include "graphics/raster.h"
#include "graphics/reference.h"

namespace orva::graphics {
namespace {

using testing::Canvas;

TEST(FillBox, MatchesTheBlendFormulaForEveryAlphaSizeAndClip) {
  const uint32_t colours[] = {0x00FFFFFF, 0x01FF8040, 0x80123456, 0xFEFFFFFF, 0xFF00FF7F};
  const ClipRect clips[] = {{0, 0, 13, 7}, {1, 2, 9, 3}, {12, 6, 1, 1}, {5, 5, 0, 2}};
  const Box areas[] = {BoxOf(0, 0, 13, 7),
                       BoxOf(-3, -3, 6, 6),
                       BoxOf(2, 1, 11, 5),
                       BoxOf(4, 4, 0, 3),
                       BoxOf(INT32_MIN, INT32_MIN, INT64_C(1) << 33, UINT32_MAX),
                       BoxOf(5, 3, -4, 2),
                       BoxOf(3, 0, 1, 7)};
  int seed = 0;
  for (uint32_t colour : colours) {
    for (const ClipRect& clip : clips) {
      for (const Box& area : areas) {
        Canvas fast(13, 7), slow(13, 7);
        fast.Scramble(++seed);
        slow.Scramble(seed);
        fast.surface().clip = slow.surface().clip = clip;
        FillBox(fast.surface(), area, ColourBlend(StandardMapping(colour)));
        // The slow fill visits every pixel of its area: give it only the part near the canvas.
        const Box near = area.Intersect({-2, -2, 15, 9});
        if (!near.empty()) {
          reference::FillBox(slow.surface(), near.left, near.top, near.width(), near.height(),
                             colour);
        }
        ASSERT_TRUE(fast.SamePixels(slow)) << std::hex << colour << " seed " << seed;
        ASSERT_TRUE(fast.GuardsIntact());
      }
    }
  }
}

}  // namespace
}  // namespace orva::graphics
