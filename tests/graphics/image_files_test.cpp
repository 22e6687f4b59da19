// Loading and saving BMP and PNG files: the byte orders programs rely on, the BMP rows, and
// files that are short, damaged or too big for the heap.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "graphics/bitmaps.h"
#include "graphics/graphics_host.h"
#include "graphics/image_files.h"
#include "graphics/picture_files.h"
#include "heap/heap.h"
#include "support/temp_dir.h"

namespace orva::graphics {
namespace {

using testing::BmpFields;
using testing::BuildBmp;
using testing::BuildPng;
using testing::GraphicsHost;

std::vector<uint8_t> Pixels(GraphicsHost& g, uint32_t hbm) {
  const uint8_t* p = g.Block(g.Field(hbm, 7));
  return {p, p + size_t{g.Field(hbm, 0)} * 4 * g.Field(hbm, 1)};
}

uint32_t NewBitmap(GraphicsHost& g, uint32_t w, uint32_t h) {
  const uint32_t hbm = CreateBitmap(g.host, w, h);
  uint8_t* p = g.Block(g.Field(hbm, 7));
  for (uint32_t i = 0; i < w * h * 4; ++i) p[i] = uint8_t(i * 29 + 3);
  return hbm;
}

std::vector<uint8_t> SwapRedBlue(std::vector<uint8_t> p) {
  for (size_t i = 0; i < p.size(); i += 4) std::swap(p[i], p[i + 2]);
  return p;
}

TEST(ImageFiles, Bmp32RoundTripIsExactAlphaIncluded) {
  GraphicsHost g;
  const uint32_t hbm = NewBitmap(g, 5, 3);
  ASSERT_EQ(SaveBitmapFile(g.host, hbm, "pics/a.bmp", 0), 1u);
  const std::string file = test::ReadText(g.DataPath("pics/a.bmp"));
  ASSERT_EQ(file.size(), 54u + 60);
  const auto* f = reinterpret_cast<const uint8_t*>(file.data());
  EXPECT_EQ(vm::Ld32(f + 2), 114u);          // file size
  EXPECT_EQ(vm::Ld32(f + 10), 54u);          // data offset
  EXPECT_EQ(int32_t(vm::Ld32(f + 22)), 3);   // height positive: bottom row first
  EXPECT_EQ(vm::Ld16(f + 28), 32u);          // bits per pixel
  EXPECT_EQ(vm::Ld32(f + 34), 60u);          // image size
  EXPECT_EQ(vm::Ld32(f + 38), 2947u);        // pixels per metre
  EXPECT_EQ(f[54], Pixels(g, hbm)[2 * 20]);  // the bottom row comes first

  const uint32_t back = LoadBitmapFile(g.host, "pics/a.bmp");
  ASSERT_NE(back, 0u);
  EXPECT_EQ(Pixels(g, back), Pixels(g, hbm));
  EXPECT_TRUE(g.NothingHeld());
}

// Loaded, red lands in p0 (as the screen shows it); saved and loaded again, p0 and p2 come back
// exchanged, and the bitmap itself is untouched. Wrong chunk checksums do not stop a load.
TEST(ImageFiles, PngExchangesRedAndBlueAndToleratesBadChecksums) {
  GraphicsHost g;
  std::vector<uint8_t> rgba, png = BuildPng(4, 3, &rgba);
  for (auto chunk : testing::PngChunks(png)) png[chunk.at + 8 + chunk.length] ^= 0xA5;
  test::WriteBytes(g.ResPath("in.png"), png);
  const uint32_t loaded = LoadBitmapFile(g.host, "in.png");  // from the resource folder
  ASSERT_NE(loaded, 0u);
  EXPECT_EQ(Pixels(g, loaded), rgba);
  ASSERT_EQ(SavePng(g.host, loaded, "out.png"), 1u);
  EXPECT_EQ(Pixels(g, loaded), rgba);
  const uint32_t again = LoadPng(g.host, "out.png");
  ASSERT_NE(again, 0u);
  EXPECT_EQ(Pixels(g, again), SwapRedBlue(rgba));
}

TEST(ImageFiles, BmpRowsPaddingAndOrder) {
  struct Case {
    const char* what;
    BmpFields fields;
  };
  const Case cases[] = {
      {"24-bit, width 3: 12-byte rows", {}},
      {"top-down", {.height = -2}},
      {"rows from the image size", {.image_size = 2 * 16, .row_length = 16}},
      {"32-bit", {.width = 2, .bits = 32}},
      {"header followed by a gap", {.data_offset = 70}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GraphicsHost g;
    const BmpFields& f = c.fields;
    const std::vector<uint8_t> file = BuildBmp(f);
    test::WriteBytes(g.DataPath("p.bmp"), file);
    const uint32_t hbm = LoadBitmapFile(g.host, "p.bmp");
    ASSERT_NE(hbm, 0u);
    ASSERT_EQ(g.Field(hbm, 0), uint32_t(f.width));
    const uint32_t rows = f.height < 0 ? -f.height : f.height, px = f.bits / 8;
    const uint32_t row = f.row_length ? f.row_length : (f.bits * f.width + 31) / 32 * 4;
    const std::vector<uint8_t> got = Pixels(g, hbm);
    for (uint32_t y = 0; y < rows; ++y) {
      const uint32_t stored = f.height < 0 ? y : rows - 1 - y;
      for (int32_t x = 0; x < f.width; ++x)
        for (uint32_t i = 0; i < 4; ++i) {
          const uint8_t want = i < px ? file[f.data_offset + stored * row + x * px + i] : 255;
          ASSERT_EQ(got[(y * f.width + x) * 4 + i], want) << x << "," << y << " byte " << i;
        }
    }
  }
}

// Every failure answers 0, leaves the heap as it was (once compacted) and reports nothing; none
// ends the program, not even a picture too big for the heap.
TEST(ImageFiles, FailuresLeaveNothingBehind) {
  std::vector<uint8_t> bm19 = BuildBmp({});
  bm19.resize(19);
  std::vector<uint8_t> bad_idat = BuildPng(64, 64);  // fails inside the image data
  bad_idat[testing::PngChunks(bad_idat)[1].at + 20] ^= 0x55;
  std::vector<uint8_t> huge_png = BuildPng(1, 1);
  testing::SetPngSize(huge_png, 20000, 20000);
  std::vector<uint8_t> short_png = BuildPng(8, 8);
  short_png.resize(short_png.size() - 20);
  const std::vector<std::vector<uint8_t>> files = {
      bm19,
      BuildBmp({.file_size = 200}),  // claims more than it holds
      BuildBmp({.file_size = 60}),   // claims less than its rows
      BuildBmp({.bits = 16}),
      BuildBmp({.compression = 1}),
      BuildBmp({.width = 0}),
      BuildBmp({.height = 0}),
      BuildBmp({.data_offset = 30}),                        // no room for the header fields
      BuildBmp({.image_size = 2 * 4, .row_length = 4}),     // rows shorter than their pixels
      BuildBmp({.width = 600, .height = 600, .bits = 32}),  // 1.4 MB: more than the heap
      bad_idat,
      huge_png,
      short_png,
      {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  GraphicsHost g(1 << 20);
  heap::CompactHeap(g.host);
  const uint32_t top = g.host.heap.top;
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(i);
    test::WriteBytes(g.DataPath("f"), files[i]);
    EXPECT_EQ(test::ExitStatusOf([&] { EXPECT_EQ(LoadBitmapFile(g.host, "f"), 0u); }), -1);
    EXPECT_EQ(LoadBmp(g.host, "f") | LoadPng(g.host, "f"), 0u);
    EXPECT_TRUE(g.NothingHeld());
    heap::CompactHeap(g.host);
    EXPECT_EQ(g.host.heap.top, top);
  }
  EXPECT_EQ(LoadBitmapFile(g.host, "missing.png"), 0u);
  EXPECT_TRUE(g.alerts().empty());
  EXPECT_FALSE(std::filesystem::exists(g.DataPath("debug.log")));
}

TEST(ImageFiles, SavesWriteOnlyWhatAndWhereTheyMay) {
  GraphicsHost g;
  g.SetUpScreen(4, 2);
  EXPECT_EQ(SaveBitmapFile(g.host, kScreen, "two", 2), 0u);
  for (uint32_t format : {0u, 1u}) {
    EXPECT_EQ(SaveBitmapFile(g.host, kScreen, "../out", format), 0u);
    EXPECT_EQ(SaveBitmapFile(g.host, 12345, "freed", format), 0u);  // no bitmap: no file
    EXPECT_EQ(SaveBitmapFile(g.host, kScreen, "screen", format), 1u);
    EXPECT_NE(LoadBitmapFile(g.host, "screen"), 0u);
  }
  for (const char* path : {"/out", "/data/two", "/data/freed"})
    EXPECT_FALSE(std::filesystem::exists(g.dir.path() + path)) << path;
  EXPECT_TRUE(g.NothingHeld());
}

}  // namespace
}  // namespace orva::graphics
