// DrawText with random bytes, boxes, flags and colours, on the screen, the scratch bitmap and
// heap bitmaps whose headers the program scribbles on. Every call must write only inside blocks
// a header names, leave nothing held, end promptly, answer a byte count within its text, and
// leave its destination alone when only measuring.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/bitmaps.h"
#include "graphics/graphics_host.h"
#include "graphics/text.h"
#include "graphics/text_engine.h"
#include "support/fuzz.h"

namespace orva::graphics {
namespace {

using testing::GraphicsHost;

TEST(TextFuzz, RandomTextBoxesAndFlagsStayInBoundsAndAnswerSensibly) {
  GraphicsHost g(1 << 18);
  Host& host = g.host;
  g.SetUpScreen(320, 480);  // a scratch bitmap of 320 x 32
  std::vector<uint32_t> bitmaps;
  for (uint32_t i = 0; i < 3; ++i) {
    bitmaps.push_back(CreateBitmap(host, 40 + 30 * i, 12 + 10 * i));
    heap::AllocHeap(host, 1024);  // a guard block between bitmaps
  }
  const vm::Memory& mem = host.mem;
  std::vector<uint8_t> before(mem.size);
  static const char* const kPieces[] = {"a",
                                        "W",
                                        " ",
                                        "  ",
                                        "ab cd",
                                        "\xC3\xA9",
                                        "\xE2\x82\xAC",
                                        "\xF0\x9F\x98\x80",
                                        "\xD7\x90",
                                        "\xE2\x98\x83",
                                        "\xCC\x81",
                                        "\t",
                                        "\x80",
                                        "\xC3",
                                        "\xFF"};

  test::FuzzFor(
      2024,
      [&](std::mt19937_64& rng) {
        auto below = [&](uint64_t n) { return static_cast<uint32_t>(rng() % n); };
        static constexpr int32_t kEdges[] = {0,  1,   -1,  2,      7,         31,        32,
                                             33, 319, 320, 100000, INT32_MAX, INT32_MIN, -400};
        auto coord = [&] {
          return below(4) == 0 ? kEdges[below(std::size(kEdges))] : int32_t(below(360)) - 20;
        };
        std::string text;
        const uint32_t parts = below(24);
        for (uint32_t i = 0; i < parts; ++i) {
          if (below(4) == 0)
            text += static_cast<char>(rng());
          else
            text += kPieces[below(std::size(kPieces))];
        }
        uint32_t hbm;
        switch (below(6)) {
          case 0: hbm = kScreen; break;
          case 1: hbm = kTextScratch; break;
          case 2: hbm = 65536 + below(4); break;
          default: hbm = bitmaps[below(bitmaps.size())];
        }
        if (below(8) == 0) {
          const uint32_t bm = bitmaps[below(bitmaps.size())];
          g.SetField(bm, below(7), below(2) ? uint32_t(rng()) : below(100));
        }
        const uint32_t flags = below(3) == 0 ? uint32_t(rng()) : uint32_t(rng()) & 0xF9660000;
        const uint32_t bg = below(4) == 0 ? 0xFFFFFFFF : uint32_t(rng());
        const int32_t x = coord(), y = coord(), w = coord(), h = coord();

        std::vector<bool> allowed(mem.size, false);
        auto allow = [&](uint32_t handle) {
          if (handle >= heap::kHandleCount) return;
          const heap::Entry& e = host.heap.entries[handle];
          if (e.list == heap::kInUse || e.list == heap::kLocked)
            std::fill_n(allowed.begin() + e.offset, e.capacity, true);
        };
        for (uint32_t bm : bitmaps) {
          allow(bm);
          allow(g.Field(bm, 7));
        }
        // Measuring changes nothing but the scratch bitmap.
        if ((flags & kTextMeasure) && hbm != kTextScratch) allowed.assign(mem.size, false);
        std::copy(mem.base, mem.base + mem.size, before.begin());
        const HostBitmap& screen = host.gfx.screen;
        const std::vector<uint8_t> screen_before(
            screen.pixels.get(), screen.pixels.get() + size_t(screen.width) * screen.height * 4);

        const auto start = std::chrono::steady_clock::now();
        const uint32_t r = DrawText(host, hbm, text, x, y, w, h, flags, bg, uint32_t(rng()));
        ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
        ASSERT_TRUE(g.NothingHeld());
        ASSERT_LE(r & 0xFFFF, text.size());
        for (uint32_t i = 0; i < mem.size; ++i)
          ASSERT_TRUE(allowed[i] || mem.base[i] == before[i]) << "wrote " << i;
        if ((flags & kTextMeasure) && hbm == kScreen) {
          ASSERT_TRUE(std::equal(screen_before.begin(), screen_before.end(), screen.pixels.get()));
        }
      },
      50);
}

// Drawing that an opaque second background hides is left out; the screen and the scratch
// bitmap must end exactly as when everything is drawn.
TEST(TextFuzz, LeavingOutHiddenDrawingChangesNoPixel) {
  GraphicsHost fast, full;
  for (GraphicsHost* g : {&fast, &full}) {
    g->SetUpScreen(400, 450);  // a scratch bitmap of 400 x 30
    ASSERT_NE(FontFor(g->host, 10, 0), nullptr);
  }
  full.host.gfx.text.engine->skip_hidden = false;
  static const char* const kTexts[] = {"Hello", "ab cd ef gh", "\xC3\xA9t\xC3\xA9 Wj",
                                       "Tall\xE2\x98\x83"};
  test::FuzzFor(
      7,
      [&](std::mt19937_64& rng) {
        auto below = [&](uint64_t n) { return static_cast<int32_t>(rng() % n); };
        const char* text = kTexts[below(std::size(kTexts))];
        const int32_t x = below(300) - 50, y = below(60) - 10, w = below(200) - 10,
                      h = below(40) + 1;
        const uint32_t flags = uint32_t(rng()) & 0x79660000;  // everything but measuring
        const uint32_t bg = below(3) == 0 ? 0xFFFFFFFF : uint32_t(rng()) | 0xFF000000;
        const uint32_t fg = uint32_t(rng());
        const bool clip = below(4) == 0;
        const ClipRect c{below(40), below(10), below(400), below(30)};
        uint32_t results[2];
        for (GraphicsHost* g : {&fast, &full}) {
          if (clip) SetClip(g->host, kTextScratch, c.x, c.y, c.w, c.h, nullptr);
          results[g == &full] = DrawText(g->host, kScreen, text, x, y, w, h, flags, bg, fg);
          SetClip(g->host, kTextScratch, 0, 0, 400, 30, nullptr);
        }
        ASSERT_EQ(results[0], results[1]);
        const HostBitmap* pairs[][2] = {{&fast.host.gfx.screen, &full.host.gfx.screen},
                                        {&fast.host.gfx.scratch, &full.host.gfx.scratch}};
        for (auto& [a, b] : pairs) {
          const size_t bytes = size_t(a->width) * a->height * 4;
          ASSERT_EQ(std::memcmp(a->pixels.get(), b->pixels.get(), bytes), 0);
        }
      },
      60);
}

}  // namespace
}  // namespace orva::graphics
