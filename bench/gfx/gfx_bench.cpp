// Drawing throughput on the workloads of the blend anchor (../shared/bench/blend.c): a 256 x 256
// sprite of alpha 128 tiled over a 1920 x 1080 bitmap, the same opaque, a 320 x 200 picture
// stretched to full screen, and full-screen rectangle fills. Prints one line per workload:
//   name seconds Mpix/s checksum
// The checksum is FNV-1a over the destination's bytes; for "blit-alpha" it equals the anchor's
// scalar checksum, since both compute the same copy blend on the same pixels.
//
// Usage: gfx_bench [WORKLOAD...] [--frames N] [--kernel scalar|sse2|avx2]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/blit_row.h"
#include "graphics/raster.h"

namespace {

using namespace orva::graphics;

constexpr int32_t kDstW = 1920, kDstH = 1080;

struct Bitmap {
  std::vector<uint8_t> bytes;
  Surface surface;
  Bitmap(int32_t w, int32_t h) : bytes(static_cast<size_t>(w) * h * 4) {
    surface = {bytes.data(), w, h, static_cast<size_t>(w) * 4, {0, 0, w, h}};
  }
  void Put(int32_t x, int32_t y, uint32_t word) { std::memcpy(surface.At(x, y), &word, 4); }
};

// The anchor's pixels, as little-endian words (its a8r8g8b8 is our p0..p3 byte for byte).
Bitmap AnchorSprite(uint32_t alpha) {
  Bitmap b(256, 256);
  for (int32_t y = 0; y < 256; ++y)
    for (int32_t x = 0; x < 256; ++x) {
      uint32_t r = (x * 7 + y) & 127, g = (x + y * 3) & 127, bl = (x ^ y) & 127;
      b.Put(x, y, alpha << 24 | r << 16 | g << 8 | bl);
    }
  return b;
}
Bitmap AnchorScreen() {
  Bitmap b(kDstW, kDstH);
  for (int32_t y = 0; y < kDstH; ++y)
    for (int32_t x = 0; x < kDstW; ++x) {
      uint32_t v = static_cast<uint32_t>(y * kDstW + x) * 2654435761u;
      b.Put(x, y, (v & 0x00FFFFFFu) | (static_cast<uint32_t>((x + y) & 255) << 24));
    }
  return b;
}

uint32_t Fnv1a(const Bitmap& b) {
  uint32_t h = 2166136261u;
  for (uint8_t byte : b.bytes) h = (h ^ byte) * 16777619u;
  return h;
}

BlitKernel forced_kernel;
bool kernel_forced = false;

void Run(const char* name, int frames, Bitmap& dst, auto&& frame) {
  auto t0 = std::chrono::steady_clock::now();
  for (int f = 0; f < frames; ++f) frame(f);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  double mpix = double(kDstW) * kDstH * frames / s / 1e6;
  std::printf("%-14s %.4f s %8.1f Mpix/s checksum %08x\n", name, s, mpix, Fnv1a(dst));
}

// Blit over the whole screen through a forced kernel: the tile loop of Blit, by hand.
void TiledBlitWith(BlitKernel k, const Surface& dst, const Surface& src) {
  for (int32_t y = 0; y < kDstH; ++y)
    for (int32_t x = 0; x < kDstW; x += 256)
      CopyBlendRowWith(k, dst.At(x, y), src.At(0, y & 255), std::min(256, kDstW - x), false);
}

void BlitWorkload(const char* name, int frames, uint32_t alpha) {
  Bitmap src = AnchorSprite(alpha), dst = AnchorScreen();
  Run(name, frames, dst, [&](int) {
    if (kernel_forced) return TiledBlitWith(forced_kernel, dst.surface, src.surface);
    Blit(dst.surface, src.surface, 0, 0, 0, 0, 256, 256, false, kDstW, kDstH);
  });
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 200;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--frames" && i + 1 < argc) {
      frames = std::atoi(argv[++i]);
    } else if (a == "--kernel" && i + 1 < argc) {
      std::string k = argv[++i];
      kernel_forced = true;
      forced_kernel = k == "scalar" ? BlitKernel::kScalar
                      : k == "sse2" ? BlitKernel::kSse2
                                    : BlitKernel::kAvx2;
    } else {
      names.push_back(a);
    }
  }
  if (names.empty()) names = {"blit-alpha", "blit-opaque", "stretch", "fill-opaque", "fill-alpha"};

  for (const std::string& n : names) {
    if (n == "blit-alpha") {
      BlitWorkload("blit-alpha", frames, 128);
    } else if (n == "blit-opaque") {
      BlitWorkload("blit-opaque", frames, 255);
    } else if (n == "stretch") {
      Bitmap src(320, 200), dst = AnchorScreen();
      for (int32_t y = 0; y < 200; ++y)
        for (int32_t x = 0; x < 320; ++x)
          src.Put(x, y, 0xFF000000u | static_cast<uint32_t>(x * 0x10305 + y * 0x30107));
      std::vector<StretchSpan> spans;
      Run("stretch", std::max(1, frames / 10), dst, [&](int) {
        StretchBlit(dst.surface, src.surface, 0, 0, kDstW, kDstH, 0, 0, 320, 200, 0, 0, spans);
      });
    } else if (n == "fill-opaque" || n == "fill-alpha") {
      Bitmap dst = AnchorScreen();
      ColourBlend c(StandardMapping(n == "fill-opaque" ? 0xFF204060 : 0x80204060));
      Run(n.c_str(), frames, dst, [&](int) { FillBox(dst.surface, BoxOf(0, 0, kDstW, kDstH), c); });
    } else {
      std::fprintf(stderr, "unknown workload %s\n", n.c_str());
      return 2;
    }
  }
  return 0;
}
