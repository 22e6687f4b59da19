// The drawing procedures on heap bitmaps whose headers the program keeps scribbling on, with
// arbitrary handles and arguments mostly from the edges of the 32-bit range. Every write must
// land in a block that some header names (its own, or its pixels), never elsewhere in the image;
// every call must leave nothing pinned and end promptly.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/graphics_host.h"
#include "support/fuzz.h"

namespace orva::graphics {
namespace {

using testing::GraphicsHost;

TEST(DrawingFuzz, ScribbledHeadersAndArbitraryArgumentsNeverWriteOutsideNamedBlocks) {
  GraphicsHost g(1 << 18);
  Host& host = g.host;
  g.SetUpScreen(40, 30);
  std::vector<uint32_t> bitmaps;
  for (uint32_t i = 0; i < 4; ++i) {
    bitmaps.push_back(CreateBitmap(host, 1 + 3 * i, 12 - 2 * i));
    heap::AllocHeap(host, 2048);  // a guard block between bitmaps, for overruns to land in
  }
  const vm::Memory& mem = host.mem;
  std::vector<uint8_t> before(mem.size);

  test::FuzzFor(
      77,
      [&](std::mt19937_64& rng) {
        auto below = [&](uint64_t n) { return static_cast<uint32_t>(rng() % n); };
        auto pick = [&](auto const& values) { return values[below(std::size(values))]; };
        static constexpr int32_t kCoords[] = {0,  1,   -1,        5,         12,    13,     -13,
                                              64, 300, INT32_MAX, INT32_MIN, 65535, 1 << 30};
        static constexpr uint32_t kFields[] = {
            0, 1, 2, 3, 4, 7, 12, 16, 40, 100, 400, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFF, 65536};
        auto coord = [&] { return below(3) == 0 ? pick(kCoords) : int32_t(below(120)) - 20; };
        auto colour = [&] { return uint32_t(rng()); };
        auto handle = [&]() -> uint32_t {
          switch (below(8)) {
            case 0: return kScreen;
            case 1: return kTextScratch;
            case 2: return below(20);         // whatever the heap has handed out, and more
            case 3: return 65536 + below(9);  // reported as bad
            default: return pick(bitmaps);
          }
        };
        if (below(2) == 0) {
          const uint32_t hbm = pick(bitmaps);
          g.SetField(hbm, below(7), below(2) ? pick(kFields) : uint32_t(rng()));
          if (below(16) == 0) g.SetField(hbm, 7, below(24));
        }
        // Where writes may land: every header, and every live block that a header names.
        std::vector<bool> allowed(mem.size, false);
        auto allow = [&](uint32_t h) {
          if (h >= heap::kHandleCount) return;
          const heap::Entry& e = host.heap.entries[h];
          if (e.list == heap::kInUse || e.list == heap::kLocked)
            std::fill_n(allowed.begin() + e.offset, e.capacity, true);
        };
        for (uint32_t hbm : bitmaps) {
          allow(hbm);
          allow(g.Field(hbm, 7));
        }
        std::copy(mem.base, mem.base + mem.size, before.begin());

        const uint32_t op = below(12);
        const auto start = std::chrono::steady_clock::now();
        switch (op) {
          case 0: SetPixel(host, handle(), coord(), coord(), colour()); break;
          case 1: DrawLine(host, handle(), coord(), coord(), coord(), coord(), colour()); break;
          case 2:
            DrawRectangle(host, handle(), coord(), coord(), coord(), coord(), colour(), colour());
            break;
          case 3:
            DrawEllipse(host, handle(), coord(), coord(), coord(), coord(), colour(), colour());
            break;
          case 4:
            SetAlpha(host, handle(), coord(), coord(), coord(), coord(), rng(), colour());
            break;
          case 5:
            Blit(host, handle(), coord(), coord(), handle(), coord(), coord(), coord(), coord(),
                 below(2), coord(), coord());
            break;
          case 6:
            StretchBlit(host, handle(), coord(), coord(), coord(), coord(), handle(), coord(),
                        coord(), coord(), coord(), coord(), coord());
            break;
          case 7:
            AdjustColours(host, handle(), coord(), coord(), coord(), coord(), coord(), coord(),
                          coord(), coord());
            break;
          case 8:
            DrawColourSquare(host, handle(), coord(), coord(), coord(), coord(), colour());
            break;
          case 9: SetClip(host, handle(), coord(), coord(), coord(), coord(), nullptr); break;
          case 10: (void)GetBitmapInfo(host, handle()); break;
          default: (void)GetPixel(host, handle(), coord(), coord()); break;
        }
        ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << op;
        ASSERT_TRUE(g.NothingHeld()) << "operation " << op;
        for (uint32_t i = 0; i < mem.size; ++i)
          ASSERT_TRUE(allowed[i] || mem.base[i] == before[i])
              << "operation " << op << " wrote " << i;
      },
      300);
}

}  // namespace
}  // namespace orva::graphics
