// Both picture readers on damaged files: valid BMPs and PNGs with bytes changed, header fields
// set to the edges of their range, and cut short. In memory, every write must stay inside the
// sink's buffer (the sanitizers watch it); through the program's load, nothing may end the
// program, stay pinned or stay allocated after a failure.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/bitmaps.h"
#include "graphics/graphics_host.h"
#include "graphics/image_decode.h"
#include "graphics/image_files.h"
#include "graphics/picture_files.h"
#include "heap/heap.h"
#include "support/fuzz.h"

namespace orva::graphics {
namespace {

using testing::BuildBmp;
using testing::BuildPng;

std::vector<uint8_t> Mutate(std::vector<uint8_t> file, std::mt19937_64& rng) {
  auto below = [&](uint64_t n) { return static_cast<size_t>(rng() % n); };
  static constexpr uint32_t kEdges[] = {
      0, 1, 2, 3, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFF, 20000, 0x10000};
  for (int n = 1 + below(4); n > 0; --n) {
    switch (below(4)) {
      case 0:  // one byte anywhere
        file[below(file.size())] ^= uint8_t(1 + below(255));
        break;
      case 1: {  // a 32-bit field of the headers: sizes, offsets, dimensions
        if (file.size() < 4) break;
        const size_t at = below(std::min<size_t>(file.size(), 60) - 3);
        const uint32_t v = kEdges[below(std::size(kEdges))];
        for (int i = 0; i < 4; ++i) file[at + i] = uint8_t(v >> (8 * i));
        break;
      }
      case 2:  // the PNG dimensions, big-endian
        if (file.size() >= 24 && file[1] == 'P')
          testing::SetPngSize(file, kEdges[below(12)], kEdges[below(12)]);
        break;
      default:  // cut short
        file.resize(below(file.size()) + 1);
    }
  }
  return file;
}

TEST(ImageFuzz, DamagedFilesFailCleanlyInMemoryAndOnTheHeap) {
  const std::vector<std::vector<uint8_t>> seeds = {
      BuildBmp({}),
      BuildBmp({.width = 7, .height = -5}),
      BuildBmp({.width = 4, .height = 3, .bits = 32}),
      BuildBmp({.width = 5, .height = 2, .image_size = 2 * 20, .row_length = 20}),
      BuildPng(9, 7),
      BuildPng(1, 1),
  };
  testing::GraphicsHost g(1 << 18);
  heap::CompactHeap(g.host);
  const uint32_t top = g.host.heap.top;
  test::FuzzFor(13, [&](std::mt19937_64& rng) {
    const std::vector<uint8_t> file = Mutate(seeds[rng() % seeds.size()], rng);

    MemorySource source(file.data(), file.size());
    BufferSink sink(1 << 20);
    if (DecodeImage(source, sink)) {
      ASSERT_EQ(sink.pixels.size(), size_t{sink.width} * 4 * sink.height);
    }

    if (rng() % 4 != 0) return;  // files are slow to write: the heap path on every fourth
    test::WriteBytes(g.DataPath("f"), file);
    uint32_t hbm = 0;
    ASSERT_EQ(test::ExitStatusOf([&] { hbm = LoadBitmapFile(g.host, "f"); }), -1);
    ASSERT_TRUE(g.NothingHeld());
    if (hbm != 0) {
      EXPECT_EQ(uint64_t{g.Field(hbm, 0)} * 4 * g.Field(hbm, 1),
                g.host.heap.entries[g.Field(hbm, 7)].capacity);
      FreeBitmap(g.host, hbm);
    }
    heap::CompactHeap(g.host);
    ASSERT_EQ(g.host.heap.top, top);
  });
  EXPECT_TRUE(g.alerts().empty());
}

}  // namespace
}  // namespace orva::graphics
