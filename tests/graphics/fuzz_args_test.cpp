// Drawing with arbitrary arguments: random operations with coordinates, sizes and limits drawn
// mostly from the extremes of the 32-bit range, on bitmaps inside guard bands. Nothing may be
// written outside the pixels, and every call must end promptly. Runs for ORVA_FUZZ_SECONDS
// (default 2) from a fixed seed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <vector>

#include "graphics/canvas.h"
#include "graphics/raster.h"

namespace orva::graphics {
namespace {

using testing::Canvas;

double FuzzSeconds() {
  const char* s = std::getenv("ORVA_FUZZ_SECONDS");
  return s ? std::atof(s) : 2.0;
}

class ArgSource {
 public:
  explicit ArgSource(uint32_t seed) : rng_(seed) {}

  int32_t Coord() {
    static constexpr int32_t kEdges[] = {0,
                                         1,
                                         -1,
                                         2,
                                         7,
                                         15,
                                         16,
                                         17,
                                         -16,
                                         255,
                                         65535,
                                         65536,
                                         -65536,
                                         INT32_MAX,
                                         INT32_MIN,
                                         INT32_MAX - 1,
                                         INT32_MIN + 1,
                                         1 << 30,
                                         -(1 << 30),
                                         46341};
    switch (rng_() % 4) {
      case 0: return kEdges[rng_() % std::size(kEdges)];
      case 1: return static_cast<int32_t>(rng_());
      default: return static_cast<int32_t>(rng_() % 40) - 12;
    }
  }
  uint32_t Word() { return rng_(); }
  uint64_t Wide() { return (uint64_t{rng_()} << 32) | rng_(); }
  uint32_t Below(uint32_t n) { return rng_() % n; }

 private:
  std::mt19937 rng_;
};

TEST(DrawingFuzz, ArbitraryArgumentsStayInsideTheBitmapsAndEndPromptly) {
  ArgSource a(20240601);
  std::vector<StretchSpan> spans;
  uint64_t pattern = ~uint64_t{0};
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(FuzzSeconds());
  int rounds = 0;
  while (std::chrono::steady_clock::now() < deadline || rounds < 200) {
    ++rounds;
    Canvas dst(1 + a.Below(24), 1 + a.Below(20)), src(1 + a.Below(20), 1 + a.Below(20));
    dst.Scramble(rounds);
    src.Scramble(rounds + 7);
    dst.surface().clip = ClampClip({a.Coord(), a.Coord(), a.Coord(), a.Coord()},
                                   dst.surface().width, dst.surface().height);
    const Surface& d = dst.surface();
    const Surface& s = a.Below(4) == 0 ? dst.surface() : src.surface();
    const auto start = std::chrono::steady_clock::now();
    const uint32_t op = a.Below(10);
    switch (op) {
      case 0: SetPixel(d, a.Coord(), a.Coord(), a.Word()); break;
      case 1:
        DrawLine(d, a.Coord(), a.Coord(), a.Coord(), a.Coord(),
                 ColourBlend(StandardMapping(a.Word())), pattern);
        break;
      case 2:
        FillBox(d, BoxOf(a.Coord(), a.Coord(), a.Coord(), a.Coord()),
                ColourBlend(StandardMapping(a.Word())));
        break;
      case 3: {
        int32_t w = a.Coord(), h = a.Coord();
        if (w != 0 && h != 0) {
          DrawEllipse(d, a.Coord(), a.Coord(), w, h, ColourBlend(DirectMapping(a.Word())),
                      ColourBlend(DirectMapping(a.Word())));
        }
        break;
      }
      case 4: SetAlpha(d, BoxOf(a.Coord(), a.Coord(), a.Coord(), a.Coord()), a.Wide(), 9); break;
      case 5:
        Blit(d, s, a.Coord(), a.Coord(), a.Coord(), a.Coord(), a.Coord(), a.Coord(), a.Below(2),
             a.Coord(), a.Coord());
        break;
      case 6:
        StretchBlit(d, s, a.Coord(), a.Coord(), a.Coord(), a.Coord(), a.Coord(), a.Coord(),
                    a.Coord(), a.Coord(), a.Coord(), a.Coord(), spans);
        break;
      case 7:
        AdjustColours(d, BoxOf(a.Coord(), a.Coord(), a.Coord(), a.Coord()), a.Coord(), a.Coord(),
                      a.Coord(), a.Coord());
        break;
      case 8:
        DrawColourSquare(d, a.Coord(), a.Coord(), a.Coord(), a.Coord(),
                         static_cast<uint8_t>(a.Word()));
        break;
      default: (void)GetPixel(d, a.Coord(), a.Coord()); break;
    }
    ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500))
        << "operation " << op << " in round " << rounds;
    ASSERT_TRUE(dst.GuardsIntact()) << "operation " << op << " in round " << rounds;
    ASSERT_TRUE(src.GuardsIntact()) << "operation " << op << " in round " << rounds;
  }
}

}  // namespace
}  // namespace orva::graphics
