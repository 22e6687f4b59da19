// Picture files at desktop size (1920 x 1080), each beside its anchor, measured interleaved in
// one run so that the machine's load weighs on both alike:
//
//   load PNG   LoadBitmapFile        vs  libspng decoding the same file into memory
//   load BMP   LoadBitmapFile        vs  memcpy of the same 8,294,400 bytes
//   save BMP   SaveBitmapFile (0)    vs  memcpy
//   save PNG   SaveBitmapFile (1)    vs  libspng encoding the same pixels into memory
//
// Files go to a fresh folder under $TMPDIR (or /tmp), so they are in the page cache, as a game's
// pictures are after the first start. Prints milliseconds of CPU and wall time (medians) and the
// ratios of the CPU times.
// Run: build/images_bench [ROUNDS] (or `ninja bench`).
#include <spng.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "graphics/bitmaps.h"
#include "graphics/image_files.h"
#include "graphics/png_encode.h"
#include "heap/heap.h"
#include "platform/headless/headless_platform.h"

namespace {

using namespace orva;

constexpr uint32_t kWidth = 1920, kHeight = 1080, kBytes = kWidth * 4 * kHeight;
constexpr uint32_t kHeapStart = 4096, kHeapSize = 64 << 20;

// A picture that gives the deflate coder real work, as a photograph or a painted backdrop
// does: smooth gradients with a little noise, opaque.
std::vector<uint8_t> Picture() {
  std::vector<uint8_t> p(kBytes);
  uint32_t noise = 12345;
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x) {
      noise = noise * 1664525 + 1013904223;
      uint8_t* px = &p[(size_t{y} * kWidth + x) * 4];
      px[0] = uint8_t(x * 255 / kWidth + (noise >> 29));
      px[1] = uint8_t(y * 255 / kHeight + (noise >> 30));
      px[2] = uint8_t((x + y) / 12);
      px[3] = 255;
    }
  return p;
}

// CPU time of this thread, user and system (the kernel's copies to and from the page cache
// included). On a shared machine wall time mostly measures the other processes.
double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Times {
  double cpu, wall;
};

Times Measure(const std::function<void()>& f) {
  const double cpu = CpuSeconds();
  const auto wall = std::chrono::steady_clock::now();
  f();
  return {CpuSeconds() - cpu,
          std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count()};
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "images_bench: %s failed\n", what);
    std::exit(1);
  }
}

// libspng on its own: the file decoded into memory, with the library's default settings or with
// the loader's (checksum errors tolerated, 64 MiB chunk limits).
void SpngDecode(const std::string& path, std::vector<uint8_t>& out, bool as_loader) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  spng_ctx* ctx = spng_ctx_new(0);
  size_t size = 0;
  if (as_loader) {
    spng_set_crc_action(ctx, SPNG_CRC_USE, SPNG_CRC_USE);
    spng_set_chunk_limits(ctx, 0x4000000, 0x4000000);
  }
  Check(f && ctx && spng_set_png_file(ctx, f) == 0 &&
            spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) == 0 && size == out.size() &&
            spng_decode_image(ctx, out.data(), size, SPNG_FMT_RGBA8, 0) == 0,
        "libspng decode");
  spng_ctx_free(ctx);
  std::fclose(f);
}

// The file system's share of a save: the same bytes written to a file with one write.
void WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  Check(f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(), "one write");
  std::fclose(f);
}

// libspng on its own: the pixels encoded into a memory buffer.
void SpngEncode(const std::vector<uint8_t>& rgba) {
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  spng_ihdr ihdr{};
  ihdr.width = kWidth;
  ihdr.height = kHeight;
  ihdr.bit_depth = 8;
  ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  size_t size = 0;
  int error = 0;
  Check(
      spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1) == 0 && spng_set_ihdr(ctx, &ihdr) == 0 &&
          spng_encode_image(ctx, rgba.data(), rgba.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) == 0,
      "libspng encode");
  void* png = spng_get_png_buffer(ctx, &size, &error);
  Check(png && error == 0, "libspng buffer");
  std::free(png);
  spng_ctx_free(ctx);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/orva-images-XXXXXX";
  Check(mkdtemp(dir.data()) != nullptr, "mkdtemp");

  platform::HeadlessPlatform platform{nullptr};
  Host host(platform);
  host.folders.user_data = host.folders.resource = dir + "/";
  host.image_block.Allocate(kHeapStart + kHeapSize);
  host.mem = host.image_block.memory();
  heap::InitHeap(host, kHeapStart, kHeapSize);
  heap::AllocHeap(host, 4);  // handle 0, as the loader takes it

  const std::vector<uint8_t> picture = Picture();
  const auto png = graphics::EncodePng(picture.data(), kWidth, kHeight);
  Check(png.has_value(), "encode");
  {
    std::FILE* f = std::fopen((dir + "/in.png").c_str(), "wb");
    Check(f && std::fwrite(png->data(), 1, png->size(), f) == png->size(), "write in.png");
    std::fclose(f);
  }
  const uint32_t source = graphics::LoadBitmapFile(host, "in.png");
  Check(source != 0, "first load");
  Check(graphics::SaveBitmapFile(host, source, "in.bmp", 0) == 1, "first BMP save");

  std::vector<uint8_t> decoded(kBytes), copy(kBytes);
  // What the saver hands the encoder: the loaded bitmap with red and blue exchanged.
  std::vector<uint8_t> exchanged = picture;
  for (size_t i = 0; i < kBytes; i += 4) std::swap(exchanged[i], exchanged[i + 2]);
  auto load = [&](const char* name) {
    const uint32_t hbm = graphics::LoadBitmapFile(host, name);
    Check(hbm != 0, name);
    graphics::FreeBitmap(host, hbm);
    heap::CompactHeap(host);
  };
  struct Row {
    const char* name;
    std::function<void()> run;
    std::vector<double> cpu, wall;
  };
  std::vector<Row> rows = {
      {"load PNG", [&] { load("in.png"); }, {}, {}},
      {"  libspng decode", [&] { SpngDecode(dir + "/in.png", decoded, false); }, {}, {}},
      {"  same options", [&] { SpngDecode(dir + "/in.png", decoded, true); }, {}, {}},
      {"load BMP", [&] { load("in.bmp"); }, {}, {}},
      {"save BMP",
       [&] { Check(graphics::SaveBitmapFile(host, source, "out.bmp", 0), "BMP"); },
       {},
       {}},
      {"  memcpy", [&] { std::memcpy(copy.data(), picture.data(), kBytes); }, {}, {}},
      {"  one write", [&] { WriteWhole(dir + "/plain.bin", picture); }, {}, {}},
      {"save PNG",
       [&] { Check(graphics::SaveBitmapFile(host, source, "out.png", 1), "PNG"); },
       {},
       {}},
      {"  libspng encode", [&] { SpngEncode(exchanged); }, {}, {}},
  };
  for (Row& r : rows) r.run();  // warm the files, the heap and the buffers
  for (int i = 0; i < rounds; ++i)
    for (Row& r : rows) {
      const Times t = Measure(r.run);
      r.cpu.push_back(t.cpu);
      r.wall.push_back(t.wall);
    }

  std::vector<double> ms;
  for (Row& r : rows) ms.push_back(Median(r.cpu) * 1000);
  std::printf("1920 x 1080, PNG file %zu bytes; medians of %d interleaved rounds\n", png->size(),
              rounds);
  std::printf("%-18s %9s %9s  comparison (by CPU time)\n", "workload", "CPU ms", "wall ms");
  auto line = [&](int i, const char* comparison) {
    std::printf("%-18s %9.2f %9.2f  %s\n", rows[i].name, ms[i], Median(rows[i].wall) * 1000,
                comparison);
  };
  char text[128];
  std::snprintf(text, sizeof text, "%+.1f%% over libspng defaults, %+.1f%% over the same options",
                (ms[0] / ms[1] - 1) * 100, (ms[0] / ms[2] - 1) * 100);
  line(0, text);
  line(1, "anchor");
  line(2, "anchor (checksums tolerated, 64 MiB chunk limits)");
  for (int i : {3, 4}) {
    std::snprintf(text, sizeof text, "%.1fx memcpy time, %.2fx one plain file write", ms[i] / ms[5],
                  ms[i] / ms[6]);
    line(i, text);
  }
  line(5, "anchor");
  line(6, "anchor: the same bytes, one fwrite to a new file");
  std::snprintf(text, sizeof text, "%+.1f%% over libspng encoding", (ms[7] / ms[8] - 1) * 100);
  line(7, text);
  line(8, "anchor");
  std::filesystem::remove_all(dir);
  return 0;
}
