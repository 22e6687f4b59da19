// Heap bitmaps and their bindings: creation, pins, clip and information, and what bad handles
// and headers the program has scribbled on do.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/graphics_host.h"
#include "heap/heap.h"

namespace orva::graphics {
namespace {

using testing::GraphicsHost;
using Geometry = GraphicsHost::Geometry;

// The graphics program reads a new header back; here, that a refused size takes nothing
// from the heap and that freeing gives back the pixel block as well.
TEST(CreateBitmap, RefusesSizesThatWrap32BitsAndFreesBothBlocks) {
  GraphicsHost g;
  const uint32_t hbm = CreateBitmap(g.host, 7, 3), top = g.host.heap.top;
  EXPECT_EQ(CreateBitmap(g.host, 0xFFFFFFFF, 2), 0u);
  EXPECT_EQ(g.host.heap.top, top);
  FreeBitmap(g.host, hbm);
  EXPECT_EQ(g.host.heap.entries[g.Field(hbm, 7)].list, heap::kFreed);
  EXPECT_TRUE(g.NothingHeld());
}

TEST(Bindings, OpeningAnOpenBindingEndsTheProcess) {
  GraphicsHost g;
  g.SetUpScreen(16, 16);
  StartDST(g.host, kScreen);
  EXPECT_EQ(test::ExitStatusOf([&] { StartDST(g.host, kScreen); }), 1);
  EXPECT_EQ(g.host.last_alert, "StartDST() already started");
  StartSRC(g.host, kScreen);
  EXPECT_EQ(test::ExitStatusOf([&] { StartSRC(g.host, kScreen); }), 1);
  EXPECT_EQ(g.host.last_alert, "StartSRC() already started");
}

TEST(Bindings, BadFreedAndPixellessHandlesDrawNothingAndHoldNothing) {
  GraphicsHost g;
  const uint32_t freed = CreateBitmap(g.host, 2, 2), empty = CreateBitmap(g.host, 2, 2);
  FreeBitmap(g.host, freed);
  g.SetField(empty, 7, 0);
  const std::vector<uint8_t> before(g.host.mem.base, g.host.mem.base + g.host.mem.size);
  DrawRectangle(g.host, empty, 0, 0, 2, 2, 0xFFFFFFFF, 0);
  EXPECT_EQ(g.host.last_alert, "StartDST: hBM==0");
  EXPECT_EQ(GetPixel(g.host, empty, 0, 0), 0u);
  EXPECT_EQ(g.host.last_alert, "StartSRC: hBM==0");
  for (uint32_t hbm : {freed, 60000u, 65536u, 0x12345678u, kClosed}) {
    DrawRectangle(g.host, hbm, 0, 0, 2, 2, 0xFFFFFFFF, 0xFFFFFFFF);
    Blit(g.host, hbm, 0, 0, hbm, 0, 0, 2, 2, false, 0, 0);
    SetClip(g.host, hbm, 0, 0, 1, 1, nullptr);
    EXPECT_FALSE(GetBitmapInfo(g.host, hbm)) << hbm;
  }
  EXPECT_TRUE(std::equal(before.begin(), before.end(), g.host.mem.base));
  EXPECT_EQ(g.host.last_alert, "LockHeap() failed");  // handles above 65535 are reported
  EXPECT_TRUE(g.NothingHeld());
}

// A header claiming more than its pixel block holds would lead drawing across the heap.
TEST(Bindings, GeometryThatDoesNotFitThePixelBlockDrawsNothing) {
  GraphicsHost g;
  const uint32_t hbm = CreateBitmap(g.host, 4, 4), next = CreateBitmap(g.host, 4, 4);
  std::memset(g.Block(g.Field(next, 7)), 0x5A, 64);
  const Geometry scribbles[] = {{5, 4, 20},         {4, 5, 16},          {4, 4, 15},
                                {4, 4, 17},         {0x80000000u, 1, 0}, {4, 0x7FFFFFFF, 16},
                                {0x40000000u, 4, 0}};
  for (Geometry s : scribbles) {
    s[5] = s[6] = 0x7FFFFFFF;
    g.SetGeometry(hbm, s);
    DrawRectangle(g.host, hbm, -10, -10, 100, 100, 0xFFFFFFFF, 0);
    EXPECT_FALSE(GetBitmapInfo(g.host, hbm));
  }
  for (int i = 0; i < 64; ++i) ASSERT_EQ(g.Block(g.Field(next, 7))[i], 0x5A) << i;
  // Rows wider than width * 4 fit and are kept; a clip reaching outside is cut to the bitmap.
  g.SetGeometry(hbm, {2, 4, 16, 0xFFFFFFF0, 0, 0x7FFFFFFF, 0x7FFFFFFF});
  DrawRectangle(g.host, hbm, -5, 0, 50, 1, 0xFF010203, 0);
  EXPECT_EQ(GetPixel(g.host, hbm, 1, 0), 0xFF010203u);
  EXPECT_NE(g.Block(g.Field(hbm, 7))[8], 0x01);  // column 2 of the wider row is not drawn
  const auto info = GetBitmapInfo(g.host, hbm);
  ASSERT_TRUE(info);
  EXPECT_EQ((std::array{info->clip_x, info->clip_w, info->clip_h}),
            (std::array<uint32_t, 3>{0, 2, 4}));
}

// The graphics program checks the cut and the old clip; here, a clip wholly past the bitmap.
TEST(SetClip, AClipBeyondTheBitmapStopsShapesButNotSinglePixels) {
  GraphicsHost g;
  const uint32_t hbm = CreateBitmap(g.host, 100, 50);
  SetClip(g.host, hbm, 150, 0, 10, 10, nullptr);
  EXPECT_EQ(g.GetGeometry(hbm), (Geometry{100, 50, 400, 100, 0, 0, 10}));
  DrawRectangle(g.host, hbm, 0, 0, 100, 50, 0xFF0000FF, 0xFF0000FF);
  EXPECT_NE(GetPixel(g.host, hbm, 99, 0), 0xFF0000FFu);
  SetPixel(g.host, hbm, 99, 0, 0xFF0000FF);
  EXPECT_EQ(GetPixel(g.host, hbm, 99, 0), 0xFF0000FFu);
}

// Before the window is shown nothing is reported: see SetupScreen.
TEST(AddDirtyRect, NormalisesNegativeSizesAndStopsAtTheEdgeOfTheRange) {
  GraphicsHost g;
  g.host.machine.started = true;
  AddDirtyRect(g.host, 10, 10, -4, -6);
  const DirtyRect& d = g.host.gfx.dirty;
  EXPECT_EQ((std::array{d.left, d.top, d.right, d.bottom}), (std::array{6, 4, 10, 10}));
  AddDirtyRect(g.host, INT32_MAX, 0, INT32_MAX, 1);
  EXPECT_EQ(d.right, INT32_MAX);
}

}  // namespace
}  // namespace orva::graphics
