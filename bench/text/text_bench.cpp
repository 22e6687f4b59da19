// Text throughput. DrawText of one 40-character line in a box 24 pixels high, with the font
// fitted and the glyphs rasterised already, beside Pango with Cairo drawing the same line in
// the same font and size over a filled background into an image surface: each run is
// interleaved with the other, and the medians are printed in lines per second of the thread's
// CPU time (the machine is shared). Then fitting a font to a new height (the font cache empty,
// the font files loaded), and the first text a host ever draws (fontconfig starting, the font
// file loaded).
//
// Usage: text_bench [--rounds N] [--png FILE]
//   --png FILE  also writes a sample sheet: the twelve fonts, underline, alignment, cutting,
//               fallback fonts and right-to-left text, as drawn into the screen bitmap.
#include <pango/pangocairo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/host.h"
#include "graphics/drawing.h"
#include "graphics/png_encode.h"
#include "graphics/screen.h"
#include "graphics/text.h"
#include "platform/headless/headless_platform.h"

namespace {

using namespace orva;
using namespace orva::graphics;
// Thread CPU time: on a shared machine wall time measures the neighbours as much as the code.
struct Clock {
  using duration = std::chrono::nanoseconds;
  using time_point = std::chrono::time_point<Clock, duration>;
  static time_point now() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return time_point(duration(int64_t{t.tv_sec} * 1000000000 + t.tv_nsec));
  }
};

constexpr const char* kLine = "Pack my box with five dozen liquor jugs!";  // 40 characters
constexpr int32_t kBoxW = 600, kBoxH = 24;
constexpr double kSliceSeconds = 0.25;

double Seconds(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Calls `draw` in batches for about kSliceSeconds; lines per second.
template <typename F>
double LinesPerSecond(F&& draw) {
  long lines = 0;
  const auto t0 = Clock::now();
  double s;
  do {
    for (int i = 0; i < 64; ++i) draw();
    lines += 64;
  } while ((s = Seconds(t0)) < kSliceSeconds);
  return lines / s;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct OrvaHost {
  platform::HeadlessPlatform platform{nullptr};
  Host host{platform};
  explicit OrvaHost(int32_t w = 1920, int32_t h = 1080) { SetupScreen(host, w, h); }
};

struct PangoLine {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kBoxW, kBoxH);
  cairo_t* cr = cairo_create(surface);
  PangoLayout* layout = pango_cairo_create_layout(cr);

  explicit PangoLine(int32_t pixel_size) {
    PangoFontDescription* d = pango_font_description_from_string("Helvetica");
    pango_font_description_set_absolute_size(d, pixel_size * PANGO_SCALE);
    pango_layout_set_font_description(layout, d);
    pango_font_description_free(d);
  }
  ~PangoLine() {
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  // What DrawText does for a line: a filled box, then the text laid out and drawn over it.
  void Draw(bool relayout) {
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.2);
    cairo_rectangle(cr, 0, 0, kBoxW, kBoxH);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, 0, 0);
    if (relayout) pango_layout_set_text(layout, kLine, -1);
    pango_cairo_show_layout(cr, layout);
  }
};

void Throughput(int rounds) {
  OrvaHost o;
  const int32_t size = MeasureText(o.host, kLine, kBoxH, 0)->size;
  PangoLine pango(size);
  pango.Draw(true);
  auto orva_draw = [&] {
    DrawText(o.host, kScreen, kLine, 10, 10, kBoxW, kBoxH, 0, 0xFF33191A, 0xFFFFFFFF);
  };
  orva_draw();
  std::vector<double> ours, theirs, theirs_kept;
  for (int r = 0; r < rounds; ++r) {
    ours.push_back(LinesPerSecond(orva_draw));
    theirs.push_back(LinesPerSecond([&] { pango.Draw(true); }));
    theirs_kept.push_back(LinesPerSecond([&] { pango.Draw(false); }));
  }
  const double a = Median(ours), b = Median(theirs), c = Median(theirs_kept);
  std::printf(
      "40-character line, box height 24 (font size %d), warm caches, %d rounds,\n"
      "lines per second of CPU time:\n",
      size, rounds);
  std::printf("  %-44s %9.0f lines/s\n", "DrawText (font cached, shape, draw, copy)", a);
  std::printf("  %-44s %9.0f lines/s  DrawText %.2fx\n", "Pango+Cairo (set text, lay out, draw)", b,
              a / b);
  std::printf("  %-44s %9.0f lines/s  DrawText %.2fx\n", "Pango+Cairo (layout kept, draw only)", c,
              a / c);
}

void Fitting() {
  OrvaHost o;
  auto t0 = Clock::now();
  MeasureText(o.host, kLine, 24, 0);
  const double first = Seconds(t0);
  // Every style loaded once, then fits of heights never seen.
  for (uint32_t family : {0u, kTextCourier, kTextTimes})
    for (uint32_t style : {0u, kTextBold, kTextOblique, kTextBold | kTextOblique})
      FontFor(o.host, 7, family | style);
  const uint32_t styles[] = {0, kTextBold, kTextOblique, kTextTimes, kTextCourier | kTextBold};
  int fits = 0;
  t0 = Clock::now();
  for (int round = 0; round < 20; ++round) {
    ClearFontCache(o.host.gfx.text);
    for (uint32_t flags : styles) {
      for (int32_t h = 8; h <= 72; h += 4) {
        FontFor(o.host, h, flags);
        ++fits;
      }
    }
  }
  const double per_fit = Seconds(t0) / fits;
  std::printf("Fitting a font to a new height, cold: %.1f us (%d fits, heights 8-72)\n",
              per_fit * 1e6, fits);
  std::printf("First text of a host (fontconfig, font file, fit, shape): %.1f ms\n", first * 1e3);
}

bool SampleSheet(const char* file) {
  OrvaHost o(900, 760);  // a scratch bitmap 50 rows high
  Host& host = o.host;
  DrawRectangle(host, kScreen, 0, 0, 900, 760, 0xFFF4F1EA, 0);
  const uint32_t ink = 0xFF202020, paper = 0xFFFFFFFF;
  int32_t y = 8;
  const char* families[] = {"Helvetica", "Courier", "Times"};
  const uint32_t family_flags[] = {0, kTextCourier, kTextTimes};
  const char* styles[] = {"regular", "bold", "oblique", "bold oblique"};
  const uint32_t style_flags[] = {0, kTextBold, kTextOblique, kTextBold | kTextOblique};
  for (int f = 0; f < 3; ++f) {
    for (int s = 0; s < 4; ++s) {
      const std::string text = std::string(families[f]) + " " + styles[s] +
                               ": Sphinx of black quartz, judge my vow. 0123456789 AVATAR";
      DrawText(host, kScreen, text.c_str(), 8, y, 884, 26, family_flags[f] | style_flags[s], paper,
               ink);
      y += 30;
    }
  }
  y += 6;
  DrawText(host, kScreen, "Underlined, 40 pixels", 8, y, 884, 40, kTextUnderline, 0xFFDDE6F0,
           0xFF102A60);
  y += 46;
  for (uint32_t align : {0u, kTextCentre, kTextRight}) {
    DrawText(host, kScreen,
             align == 0             ? "left"
             : align == kTextCentre ? "centre"
                                    : "right",
             8, y, 884, 22, align, 0xFFE0E0E0, ink);
    y += 26;
  }
  DrawText(host, kScreen, "Cut at a space: this line is far too long for its little box", 8, y, 300,
           22, kTextCutSpace, 0xFFF0E0D0, ink);
  DrawText(host, kScreen, "Cut at a character: this line is also too long", 400, y, 300, 22,
           kTextCutChar, 0xFFF0E0D0, ink);
  y += 30;
  DrawText(host, kScreen,
           "Fallback: \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xCE\x93\xCE\xB5\xCE\xB9"
           "\xCE\xAC \xE2\x98\x83 \xE2\x86\x92 \xE2\x88\x9E \xC3\xA9\xCC\x81 "
           "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD8\xB3\xD9\x84\xD8\xA7\xD9\x85 end",
           8, y, 884, 34, 0, paper, 0xFF600000);
  y += 40;
  DrawText(host, kScreen, "Translucent background keeps the stripes", 8, y, 884, 30, 0, 0x00000000,
           0xFF004000);
  for (int32_t i = 0; i < 884; i += 20)
    DrawRectangle(host, kScreen, 8 + i, y + 32, 10, 30, 0xFFB0C8FF, 0);
  DrawText(host, kScreen, "Translucent background keeps the stripes", 8, y + 32, 884, 30, 0,
           0x00000000, 0xFF004000);
  y += 70;
  for (int32_t h = 8; h <= 48 && y + h < 760; h += 8) {
    DrawText(host, kScreen, ("Height " + std::to_string(h)).c_str(), 8, y, 884, h, kTextTimes,
             paper, ink);
    y += h + 2;
  }
  const HostBitmap& screen = host.gfx.screen;
  auto png = EncodePng(screen.pixels.get(), screen.width, screen.height);
  if (!png) return false;
  std::FILE* f = std::fopen(file, "wb");
  if (!f) return false;
  const bool ok = std::fwrite(png->data(), 1, png->size(), f) == png->size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 5;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--png") && i + 1 < argc) {
      if (!SampleSheet(argv[++i])) {
        std::fprintf(stderr, "text_bench: cannot write %s\n", argv[i]);
        return 1;
      }
    } else {
      std::fprintf(stderr, "usage: text_bench [--rounds N] [--png FILE]\n");
      return 2;
    }
  }
  Throughput(rounds);
  Fitting();
  return 0;
}
