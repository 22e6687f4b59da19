// The drawing procedures on heap bitmaps whose headers the program keeps scribbling on, with
// arbitrary handles and arguments. Every write must land in a block that some header names as
// its pixels (or in a header's clip fields), never elsewhere in the image, and every call must
// leave nothing pinned. Runs for ORVA_FUZZ_SECONDS (default 2) from a fixed seed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <vector>

#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/graphics_host.h"
#include "heap/heap.h"

namespace orva::graphics {
namespace {

using testing::GraphicsHost;

double FuzzSeconds() {
  const char* s = std::getenv("ORVA_FUZZ_SECONDS");
  return s ? std::atof(s) : 2.0;
}

TEST(BitmapFuzz, ScribbledHeadersAndArbitraryHandlesNeverWriteOutsideNamedBlocks) {
  GraphicsHost g(1 << 18);
  Host& host = g.host();
  g.SetUpScreen(40, 30);
  std::mt19937 rng(77);
  auto below = [&](uint32_t n) { return rng() % n; };

  std::vector<uint32_t> bitmaps;
  for (int i = 0; i < 4; ++i) {
    bitmaps.push_back(CreateBitmap(host, 1 + below(12), 1 + below(12)));
    heap::AllocHeap(host, 2048);  // a guard block between bitmaps, for overruns to land in
  }
  auto coord = [&]() -> int32_t {
    static constexpr int32_t kEdges[] = {0,  1,   -1,        5,         12,    13,     -13,
                                         64, 300, INT32_MAX, INT32_MIN, 65535, 1 << 30};
    return below(3) == 0 ? kEdges[below(std::size(kEdges))] : static_cast<int32_t>(below(120)) - 20;
  };
  auto handle = [&]() -> uint32_t {
    switch (below(8)) {
      case 0: return kScreen;
      case 1: return kTextScratch;
      case 2: return below(20);         // anything the heap has handed out, and more
      case 3: return 65536 + below(9);  // bad
      default: return bitmaps[below(bitmaps.size())];
    }
  };
  auto field_value = [&]() -> uint32_t {
    static constexpr uint32_t kValues[] = {
        0,  1,   2,   3,          4,           7,          12,          16,
        40, 100, 400, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFF, 0x40000000u, 65536};
    return below(2) ? kValues[below(std::size(kValues))] : rng();
  };

  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(FuzzSeconds());
  const vm::Memory& mem = host.mem;
  std::vector<uint8_t> before(mem.size);
  for (int round = 0; std::chrono::steady_clock::now() < deadline || round < 300; ++round) {
    if (below(2) == 0) {
      const uint32_t hbm = bitmaps[below(bitmaps.size())];
      g.SetField(hbm, below(7), field_value());  // hPixels is rewritten more rarely
      if (below(16) == 0) g.SetField(hbm, 7, field_value() % 24);
    }
    // Where writes may land: every header, and every live block a header names as pixels.
    std::vector<bool> allowed(mem.size, false);
    auto allow = [&](uint32_t h) {
      if (h >= heap::kHandleCount) return;
      const heap::Entry& e = host.heap.entries[h];
      if (e.list != heap::kInUse && e.list != heap::kLocked) return;
      for (uint32_t i = 0; i < e.capacity; ++i) allowed[e.offset + i] = true;
    };
    for (uint32_t hbm : bitmaps) {
      allow(hbm);
      allow(g.Field(hbm, 7));
    }
    std::copy(mem.base, mem.base + mem.size, before.begin());

    const uint32_t op = below(12);
    switch (op) {
      case 0: SetPixel(host, handle(), coord(), coord(), rng()); break;
      case 1: DrawLine(host, handle(), coord(), coord(), coord(), coord(), rng()); break;
      case 2:
        DrawRectangle(host, handle(), coord(), coord(), coord(), coord(), rng(), rng());
        break;
      case 3: DrawEllipse(host, handle(), coord(), coord(), coord(), coord(), rng(), rng()); break;
      case 4: SetAlpha(host, handle(), coord(), coord(), coord(), coord(), rng(), rng()); break;
      case 5:
        Blit(host, handle(), coord(), coord(), handle(), coord(), coord(), coord(), coord(),
             below(2), coord(), coord());
        break;
      case 6:
        StretchBlit(host, handle(), coord(), coord(), coord(), coord(), handle(), coord(), coord(),
                    coord(), coord(), coord(), coord());
        break;
      case 7:
        AdjustColours(host, handle(), coord(), coord(), coord(), coord(), coord(), coord(), coord(),
                      coord());
        break;
      case 8: DrawColourSquare(host, handle(), coord(), coord(), coord(), coord(), rng()); break;
      case 9: SetClip(host, handle(), coord(), coord(), coord(), coord(), nullptr); break;
      case 10: (void)GetBitmapInfo(host, handle()); break;
      default: (void)GetPixel(host, handle(), coord(), coord()); break;
    }
    ASSERT_TRUE(g.NothingHeld()) << "operation " << op << ", round " << round;
    for (uint32_t i = 0; i < mem.size; ++i) {
      ASSERT_TRUE(allowed[i] || mem.base[i] == before[i])
          << "operation " << op << " wrote image address " << i << " in round " << round;
    }
  }
}

}  // namespace
}  // namespace orva::graphics
