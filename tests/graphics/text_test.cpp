// Text by its rules, not by its glyph shapes: fitting, cutting, byte counts, alignment, the two
// backgrounds, colours, the font cache. Expected positions come from the line's measured width
// (MeasureText), so the cases hold for any font with sensible metrics.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/fonts.h"
#include "graphics/glyphs.h"
#include "graphics/graphics_host.h"
#include "graphics/screen.h"
#include "graphics/text.h"
#include "graphics/text_engine.h"
#include "graphics/utf8.h"

namespace orva::graphics {
namespace {

using testing::GraphicsHost;

constexpr int32_t kScreenW = 800, kScreenH = 600;  // scratch: 800 x 40
constexpr uint32_t kInk = 0xFF3366CC, kPaper = 0xFF102030, kScreenFill = 0xFF808080;

struct TextHost : GraphicsHost {
  TextHost() {
    SetUpScreen(kScreenW, kScreenH);
    DrawRectangle(host, kScreen, 0, 0, kScreenW, kScreenH, kScreenFill, 0);
  }
  uint32_t Draw(std::string_view text, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t flags,
                uint32_t bg = kPaper, uint32_t fg = kInk, uint32_t hbm = kScreen) {
    return DrawText(host, hbm, text, x, y, w, h, flags, bg, fg);
  }
  // The measured width in 1/64 pixel, and truncated as DrawText reports it.
  int64_t Width64(std::string_view text, int32_t h, uint32_t flags = 0) {
    auto m = MeasureText(host, text, h, flags);
    EXPECT_TRUE(m.has_value());
    return m ? m->width : 0;
  }
  uint32_t Width(std::string_view text, int32_t h, uint32_t flags = 0) {
    return static_cast<uint32_t>(Width64(text, h, flags) / 64);
  }
  // The narrowest box that holds `text` whole.
  int32_t BoxFor(std::string_view text, int32_t h, uint32_t flags = 0) {
    return static_cast<int32_t>((Width64(text, h, flags) + 63) / 64);
  }
  uint32_t Screen(int32_t x, int32_t y) { return GetPixel(host, kScreen, x, y); }
  std::vector<uint8_t> ScreenBytes() {
    const HostBitmap& s = host.gfx.screen;
    return {s.pixels.get(), s.pixels.get() + size_t(s.width) * s.height * 4};
  }
  // The columns of row y whose pixel is not the screen's fill: [first, last + 1).
  std::pair<int32_t, int32_t> ChangedColumns(int32_t y) {
    int32_t first = -1, last = -2;
    for (int32_t x = 0; x < kScreenW; ++x) {
      if (Screen(x, y) != kScreenFill) {
        if (first < 0) first = x;
        last = x;
      }
    }
    return {first, last + 1};
  }
};

uint32_t Bytes(uint32_t result) { return result & 0xFFFF; }
uint32_t Drawn(uint32_t result) { return result >> 16; }

TEST(TextFit, EachStyleGetsTheLargestSizeWhoseLineFitsTheBox) {
  TextHost t;
  ASSERT_NE(FontFor(t.host, 10, 0), nullptr);
  TextEngine& e = *t.host.gfx.text.engine;
  for (int style = 0; style < kFontStyles; ++style) {
    const uint32_t flags = (style / 4 == 1   ? kTextCourier
                            : style / 4 == 2 ? kTextTimes
                                             : 0) |
                           (style & 2 ? kTextBold : 0) | (style & 1 ? kTextOblique : 0);
    for (int32_t h : {4, 5, 6, 7, 9, 12, 16, 24, 33, 40, 72, 150}) {
      SCOPED_TRACE(::testing::Message() << FontName(style) << " h " << h);
      Font* font = FontFor(t.host, h, flags);
      ASSERT_NE(font, nullptr);
      const int32_t size = font->size();
      auto line_below = [&](int32_t s) {
        return Font(e.fonts, style, s).line_height_scaled() < int64_t{h} * font->units_per_em();
      };
      EXPECT_GE(size, 4);
      if (h >= 6) {
        EXPECT_TRUE(line_below(size));
      }
      if (size > 4) {
        EXPECT_FALSE(line_below(size + 1));
      }
    }
  }
}

TEST(TextCut, ChoosesTheStringAndTheBytesUsed) {
  TextHost t;
  const int32_t h = 24;
  struct Case {
    const char* name;
    std::string text;
    std::string fits;  // the box holds exactly this much of the text
    uint32_t flags;
    std::string drawn;  // what is drawn, "" for a call that answers 0
    uint32_t bytes;
  };
  const Case cases[] = {
      // The box holds seven of eight characters: the line ends with the second space.
      {"space", "ab cd ef", "ab cd e", kTextCutSpace, "ab cd ", 5},
      {"space before char", "ab cd ef", "ab cd e", kTextCutSpace | kTextCutChar, "ab cd ", 5},
      // No space: only the first character, and no bytes used.
      {"no space", "abcdefgh", "abc", kTextCutSpace, "a", 0},
      {"char", "abcdefgh", "abc", kTextCutChar, "abc", 3},
      {"no space, char", "abcdefgh", "abc", kTextCutSpace | kTextCutChar, "abc", 3},
      // The character that overflows is a space: it stays on the line.
      {"space overflows", "abc def", "abc", kTextCutSpace, "abc ", 3},
      // A line that would keep only a leading space, or not even one character: 0.
      {"leading space", " bcdefgh", " b", kTextCutSpace, "", 0},
      {"leading space, char", " bcdefgh", " b", kTextCutSpace | kTextCutChar, " b", 2},
      {"nothing fits", "Wide", "", kTextCutChar, "", 0},
      {"nothing fits, space", "W ide", "", kTextCutSpace, "", 0},
      // Multi-byte characters count as one character and their bytes.
      {"two-byte", "a\xC3\xA9\xC3\xA9\xC3\xA9", "a\xC3\xA9", kTextCutChar, "a\xC3\xA9", 3},
      {"after space", "a\xC3\xA9 \xE2\x82\xAC\xE2\x82\xAC", "a\xC3\xA9 \xE2\x82\xAC", kTextCutSpace,
       "a\xC3\xA9 ", 3},
      // A line that fits is used whole.
      {"fits", "ab cd", "ab cd", kTextCutSpace | kTextCutChar, "ab cd", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DrawRectangle(t.host, kScreen, 0, 0, kScreenW, kScreenH, kScreenFill, 0);
    // A box that holds `fits` but not one more character.
    const int32_t w = c.fits.empty() ? 1 : t.BoxFor(c.fits, h);
    const size_t more = c.fits.size() + Utf8ByteCount(c.text.substr(c.fits.size()), 1);
    if (more <= c.text.size() && c.fits != c.text) {
      ASSERT_GT(t.Width64(c.text.substr(0, more), h), int64_t{w} * 64) << "box too wide";
    }
    const uint32_t r = t.Draw(c.text, 10, 10, w, h, c.flags);
    if (c.drawn.empty()) {
      EXPECT_EQ(r, 0u);
      EXPECT_EQ(t.ChangedColumns(20).first, -1) << "something reached the screen";
    } else {
      EXPECT_EQ(Bytes(r), c.bytes);
      EXPECT_EQ(Drawn(r), t.Width(c.drawn, h));
    }
  }
}

TEST(TextCut, LongTextIsCutWhereItsPrefixesSay) {
  TextHost t;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "word" + std::to_string(i) + " ";
  EXPECT_EQ(t.Draw(text, 0, 0, 1, 20, kTextCutSpace), 0u);
  for (int32_t w : {120, 400, 799}) {
    SCOPED_TRACE(w);
    const uint32_t r = t.Draw(text, 0, 0, w, 20, kTextCutSpace | kTextMeasure);
    const std::string used = text.substr(0, Bytes(r));
    ASSERT_FALSE(used.empty());
    // The program continues at a space; what comes before it fits, the next word does not.
    EXPECT_EQ(text[used.size()], ' ');
    EXPECT_LE(t.Width64(used, 20), int64_t{w} * 64);
    const size_t next = text.find(' ', used.size() + 1);
    EXPECT_GT(t.Width64(text.substr(0, next + 1), 20), int64_t{w} * 64);
    EXPECT_EQ(Drawn(r), t.Width(text.substr(0, used.size() + 1), 20));
  }
}

TEST(TextBytes, TheWalkCountsWhatEachLeadByteStartsAndStopsAtStrayBytes) {
  struct Case {
    std::string text;
    size_t chars, bytes;
  };
  const Case cases[] = {
      {"abc", 2, 2},
      {"a\xC3\xA9z", 2, 3},
      {"\xE2\x82\xAC!", 1, 3},
      {"\xF0\x9F\x98\x80!", 2, 5},
      {"\xC3"
       "A",
       2, 2},  // a lead byte without its continuation counts alone
      {"\xE2\x82"
       "A",
       1, 2},  // ... or with as many as follow
      {"\xE2\x82"
       "AB",
       2, 3},
      {"\xF0\x9F\x98", 1, 3},  // cut short by the end of the text
      {"\x80"
       "A",
       2, 0},  // a stray continuation byte stops the count
      {"A\xFF"
       "B",
       3, 1},
      {"A\xF8\x80", 2, 1},
      {std::string("ab\0cd", 5), 4, 2},  // a 0 byte ends the walk
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ByteCount(c.text, c.chars), c.bytes) << c.text;
}

TEST(TextBytes, OnlyWellFormedUtf8Decodes) {
  std::u32string out;
  EXPECT_TRUE(DecodeUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", out));
  EXPECT_EQ(out, U"a\u00E9\u20AC\U0001F600\U0010FFFF");
  for (const char* bad : {"\xC3", "\x80", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80",
                          "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80",
                          "a\xC3"
                          "b",
                          "\xFF"}) {
    EXPECT_FALSE(DecodeUtf8(bad, out)) << bad;
    EXPECT_TRUE(out.empty());
  }
}

TEST(TextDraw, InvalidUtf8IsAnEmptyLine) {
  TextHost t;
  const auto before = t.ScreenBytes();
  // The backgrounds still reach the scratch bitmap: the first reads the colour with bits 0-7
  // as p0, the second (not when measuring) as every other drawing does.
  EXPECT_EQ(t.Draw("ok \xC3(", 10, 10, 300, 24, kTextMeasure, 0xFF0000FF), 0u);
  EXPECT_EQ(GetPixel(t.host, kTextScratch, 5, 5), 0xFFFF0000u);
  EXPECT_EQ(t.Draw("ok \xC3(", 10, 10, 300, 24, 0, 0xFF0000FF), 0u);
  EXPECT_EQ(GetPixel(t.host, kTextScratch, 5, 5), 0xFF0000FFu);
  // Nothing reaches the screen: the copy is as wide as the empty line.
  EXPECT_EQ(t.ScreenBytes(), before);
}

TEST(TextDraw, EachAlignmentPlacesTheCopyWhereTheWidthSays) {
  TextHost t;
  const int32_t x = 100, y = 50, h = 24;
  const uint32_t tw = t.Width("Hello", h);
  const uint32_t long_tw = t.Width("A line far wider than its box", h);
  struct Case {
    const char* text;
    int32_t w;
    uint32_t flags;
    int32_t from, to;  // the changed columns
  };
  const Case cases[] = {
      {"Hello", 300, 0, x, x + int32_t(tw)},
      {"Hello", 300, kTextCentre, x + (300 - int32_t(tw)) / 2,
       x + (300 - int32_t(tw)) / 2 + int32_t(tw)},
      {"Hello", 300, kTextRight, x + 300 - int32_t(tw), x + 300},
      {"Hello", 300, kTextCentre | kTextRight, x + (300 - int32_t(tw)) / 2,
       x + (300 - int32_t(tw)) / 2 + int32_t(tw)},
      // Too wide, not cut: the copy stops at the box when left-aligned, not otherwise.
      {"A line far wider than its box", 60, 0, x, x + 60},
      {"A line far wider than its box", 60, kTextCentre, x + (60 - int32_t(long_tw)) / 2,
       x + (60 - int32_t(long_tw)) / 2 + int32_t(long_tw)},
      {"A line far wider than its box", 60, kTextRight, x + 60 - int32_t(long_tw), x + 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.text << " flags " << c.flags);
    DrawRectangle(t.host, kScreen, 0, 0, kScreenW, kScreenH, kScreenFill, 0);
    const uint32_t r = t.Draw(c.text, x, y, c.w, h, c.flags);
    EXPECT_EQ(Bytes(r), std::string_view(c.text).size());
    for (int32_t row : {y, y + h - 1})
      EXPECT_EQ(t.ChangedColumns(row), std::make_pair(std::max(c.from, 0), c.to));
    EXPECT_EQ(t.ChangedColumns(y - 1).first, -1);
    EXPECT_EQ(t.ChangedColumns(y + h).first, -1);
  }
}

TEST(TextDraw, MeasureOnlyLeavesTheDestinationAndAnswersTheSame) {
  TextHost t;
  for (uint32_t flags :
       {0u, kTextCutSpace, kTextCentre | kTextOblique, kTextCutChar | kTextRight}) {
    DrawRectangle(t.host, kScreen, 0, 0, kScreenW, kScreenH, kScreenFill, 0);
    const auto before = t.ScreenBytes();
    const uint32_t measured = t.Draw("Measure me, please", 20, 20, 120, 30, flags | kTextMeasure);
    EXPECT_EQ(t.ScreenBytes(), before);
    EXPECT_EQ(t.Draw("Measure me, please", 20, 20, 120, 30, flags), measured);
    EXPECT_NE(t.ScreenBytes(), before);
    EXPECT_NE(measured, 0u);
  }
}

TEST(TextDraw, BackgroundsOpaqueWhiteOrTheDestinationsOwn) {
  TextHost t;
  const int32_t x = 40, y = 30, h = 30;
  // Row y lies in the line gap above the capitals: background only.
  t.Draw("Tg", x, y, 200, h, 0, 0xFF112233);
  EXPECT_EQ(t.Screen(x + 1, y), 0xFF112233u);
  t.Draw("Tg", x, y, 200, h, 0, 0xFFFFFFFF);  // first a copy of the destination, then white
  EXPECT_EQ(t.Screen(x + 1, y), 0xFFFFFFFFu);
  // Translucent: the destination's own pixels stay where there is no ink.
  for (int32_t i = 0; i < 200; ++i) SetPixel(t.host, kScreen, x + i, y, 0xFF000000 | i * 0x010203);
  t.Draw("Tg", x, y, 200, h, 0, 0x80FF0000);
  for (int32_t i = 0; i < int32_t(t.Width("Tg", h)); ++i)
    EXPECT_EQ(t.Screen(x + i, y), 0xFF000000 | i * 0x010203) << i;
  // A centred line wider than its box is copied whole, on its background all along: nothing of
  // the scratch bitmap's earlier contents (here a red line) shows beyond the box.
  t.Draw("Wide red line, drawn first", 0, 0, 400, h, 0, 0xFFFF0000);
  const uint32_t r = t.Draw("A centred line wider than its box", x, 100, 40, h, kTextCentre);
  const int32_t from = x + (40 - int32_t(Drawn(r))) / 2;
  for (int32_t yy = 100; yy < 100 + h; ++yy) {
    for (int32_t xx = from; xx < from + int32_t(Drawn(r)); ++xx)
      ASSERT_LT(StandardMapping(t.Screen(xx, yy)).p0, 0x40) << xx << "," << yy;
  }
  // Where the destination is transparent, the first background shows, read with bits 0-7 as
  // red: the two colour readings of the background differ in their channel order.
  const uint32_t bm = CreateBitmap(t.host, 100, 40);
  DrawRectangle(t.host, bm, 0, 0, 100, 40, 0xFF000000, 0);
  SetAlpha(t.host, bm, 0, 0, 100, 40, ~uint64_t{0}, 0);
  t.Draw("Tg", 0, 0, 100, h, 0, 0x00AABBCC, kInk, bm);
  EXPECT_EQ(GetPixel(t.host, bm, 1, 0), 0xFFCCBBAAu);
}

TEST(TextDraw, FullyCoveredPixelsHaveExactlyTheTextColour) {
  TextHost t;
  const int32_t x = 10, y = 10, h = 40;
  const uint32_t r = t.Draw("IlH\xE2\x96\x88", x, y, 400, h, kTextBold, kPaper, kInk);
  int exact = 0;
  const Pixel ink = StandardMapping(kInk), paper = StandardMapping(kPaper);
  for (int32_t yy = y; yy < y + h; ++yy) {
    for (int32_t xx = x; xx < x + int32_t(Drawn(r)); ++xx) {
      const Pixel p = StandardMapping(t.Screen(xx, yy));
      ASSERT_EQ(p.p3, 255);
      // Every pixel lies between the paper and the ink, channel by channel (to the rounding
      // of the blend).
      for (auto [v, a, b] :
           {std::tuple{p.p0, paper.p0, ink.p0}, {p.p1, paper.p1, ink.p1}, {p.p2, paper.p2, ink.p2}})
        ASSERT_TRUE(v + 1 >= std::min(a, b) && v <= std::max(a, b) + 1);
      exact += p == ink;
    }
  }
  EXPECT_GT(exact, 100);
}

// The vector path of glyph blending against the per-pixel definition: colour * a + p * (1 - a)
// for the colour bytes, a + p3 * (1 - a) for alpha, each term divided by 255 on its own.
TEST(TextDraw, CoverageBlendMatchesThePerPixelDefinition) {
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    const size_t n = rng() % 40;
    std::vector<uint8_t> coverage(n), pixels(n * 4), expected;
    for (size_t i = 0; i < n; ++i) {
      const uint32_t kind = rng() % 4;  // runs of nothing and of full coverage, as glyphs have
      coverage[i] = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<uint8_t>(rng());
    }
    for (uint8_t& b : pixels) b = static_cast<uint8_t>(rng());
    const Pixel colour{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    expected = pixels;
    for (size_t i = 0; i < n; ++i) {
      const uint32_t a = coverage[i], k = 255 - a;
      uint8_t* p = &expected[i * 4];
      const uint8_t c[4] = {colour.p0, colour.p1, colour.p2, 255};
      for (int j = 0; j < 4; ++j) p[j] = static_cast<uint8_t>(c[j] * a / 255 + p[j] * k / 255);
    }
    CoverRow(pixels.data(), coverage.data(), n, colour);
    ASSERT_EQ(pixels, expected) << "round " << round;
  }
}

TEST(TextDraw, UnderlineRunsUnderTheWholeLineAndObliqueWidensTheResult) {
  TextHost t;
  const int32_t x = 10, y = 10, h = 40;
  auto full_row = [&](int32_t width) {
    for (int32_t yy = y; yy < y + h; ++yy) {
      int32_t xx = x;
      while (xx < x + width && t.Screen(xx, yy) == kInk) ++xx;
      if (xx == x + width) return true;
    }
    return false;
  };
  const uint32_t plain = t.Draw("ab cd", x, y, 400, h, 0);
  EXPECT_FALSE(full_row(int32_t(Drawn(plain))));
  const uint32_t underlined = t.Draw("ab cd", x, y, 400, h, kTextUnderline);
  EXPECT_EQ(underlined, plain);
  EXPECT_TRUE(full_row(int32_t(Drawn(plain))));

  const uint32_t oblique = t.Draw("ab cd", x, y, 400, h, kTextOblique | kTextMeasure);
  EXPECT_EQ(Drawn(oblique), t.Width("ab cd", h, kTextOblique) + h / 6);
  // ... only when some character was used.
  const uint32_t first_only =
      t.Draw("abcdef", x, y, t.BoxFor("ab", h, kTextOblique), h, kTextOblique | kTextCutSpace);
  EXPECT_EQ(first_only, t.Width("a", h, kTextOblique) << 16);
}

TEST(TextDraw, BoxesAreCutToTheScratchBitmap) {
  TextHost t;
  const int32_t scratch_h = kScreenH / 15;
  EXPECT_EQ(t.Draw("Tall", 0, 100, 300, 5000, kTextMeasure),
            t.Draw("Tall", 0, 100, 300, scratch_h, kTextMeasure));
  // Right-aligned in a box wider than the scratch bitmap: the box ends at the scratch's width.
  const uint32_t r = t.Draw("Wide", 0, 100, 100000, 20, kTextRight);
  EXPECT_EQ(t.ChangedColumns(100), std::make_pair(kScreenW - int32_t(Drawn(r)), kScreenW));
}

TEST(TextFonts, FallbackKerningAndRightToLeft) {
  TextHost t;
  Font& font = *FontFor(t.host, 30, 0);
  TextEngine& e = *t.host.gfx.text.engine;
  auto shape = [&](std::u32string_view s) {
    ShapedLine line;
    e.shaper.Shape(font, s, line);
    return line;
  };
  // The named font has no snowman: a fallback font draws it, not the missing-glyph box.
  const ShapedLine snow = shape(U"a\u2603");
  ASSERT_EQ(snow.glyphs.size(), 2u);
  EXPECT_EQ(snow.glyphs[0].face, font.primary());
  EXPECT_NE(snow.glyphs[1].face, font.primary());
  EXPECT_NE(snow.glyphs[1].id, 0u);
  // Kerning comes from the font's own tables.
  EXPECT_LT(shape(U"AV").width, shape(U"A").width + shape(U"V").width);
  // Hebrew runs right to left after the Latin word: its first letter is drawn rightmost.
  const ShapedLine mixed = shape(U"ab \u05D0\u05D1\u05D2");
  std::vector<uint32_t> order;
  for (const ShapedGlyph& g : mixed.glyphs) order.push_back(g.cluster);
  EXPECT_EQ(order, (std::vector<uint32_t>{0, 1, 2, 5, 4, 3}));
}

TEST(TextFontCache, The101stPairReusesTheLeastRecentlyUsedSlot) {
  TextHost t;
  TextState& text = t.host.gfx.text;
  for (int32_t h = 5; h < 105; ++h) FontFor(t.host, h, kTextBold | kTextCentre);
  for (int32_t i = 0; i < kFontCacheSlots; ++i) ASSERT_EQ(text.slots[i].height, 5 + i);
  Font* first = FontFor(t.host, 5, kTextBold);  // found (centring is not a style bit): now first
  EXPECT_EQ(text.slots[0].font.get(), first);
  EXPECT_EQ(text.head, 0);
  FontFor(t.host, 5, kTextBold | kTextUnderline);  // a new pair: slot 1 (height 6) goes
  EXPECT_EQ(text.head, 1);
  EXPECT_EQ(text.slots[1].height, 5);
  EXPECT_EQ(text.slots[1].key, kTextBold | kTextUnderline);
  EXPECT_EQ(FontFor(t.host, 5, kTextBold), first);
  // The list still runs through all 100 slots, most recent first.
  std::vector<int32_t> order;
  for (int32_t i = text.head; i >= 0; i = text.slots[i].next) {
    if (!order.empty()) {
      EXPECT_EQ(text.slots[i].prev, order.back());
    }
    order.push_back(i);
  }
  ASSERT_EQ(order.size(), size_t(kFontCacheSlots));
  EXPECT_EQ(order[0], 0);
  EXPECT_EQ(order[1], 1);
  EXPECT_EQ(order[2], 99);
  EXPECT_EQ(order.back(), 2);

  t.SetUpScreen(kScreenW, kScreenH);  // a new screen empties the cache
  EXPECT_EQ(text.head, -1);
  for (const FontCacheSlot& s : text.slots) EXPECT_EQ(s.height, -1);
}

}  // namespace
}  // namespace orva::graphics
