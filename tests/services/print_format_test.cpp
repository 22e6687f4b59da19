#include "services/print_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "support/fuzz.h"

namespace orva::services {
namespace {

std::optional<std::string> Format(std::string_view format, uint32_t size, uint64_t value,
                                  std::string_view text = {}) {
  auto parsed = ParsePrintFormat(format, size);
  if (!parsed) return std::nullopt;
  return RenderPrintFormat(*parsed, value, text);
}

TEST(PrintFormat, FlagsWidthAndPrecisionAsPrintf) {
  EXPECT_EQ(Format("%5d", 4, 42), "   42");
  EXPECT_EQ(Format("%-5d|", 4, 42), "42   |");
  EXPECT_EQ(Format("%05d", 4, 0xFFFFFFD6), "-0042");
  EXPECT_EQ(Format("%+d % d", 4, 7), std::nullopt);  // two conversions
  EXPECT_EQ(Format("%+d", 4, 7), "+7");
  EXPECT_EQ(Format("% d", 4, 7), " 7");
  EXPECT_EQ(Format("%5.3d", 4, 42), "  042");
  EXPECT_EQ(Format("%#x %%", 4, 255), "0xff %");
  EXPECT_EQ(Format("%#o", 4, 8), "010");
  EXPECT_EQ(Format("%8.8X", 4, 0xBEEF), "0000BEEF");
  EXPECT_EQ(Format("%u", 4, 0xFFFFFFFF), "4294967295");
  EXPECT_EQ(Format("%i", 4, 0xFFFFFFFF), "-1");
  EXPECT_EQ(Format("<%c>", 4, 0x141), "<A>");
  EXPECT_EQ(Format("%.d", 4, 0), "");  // precision 0 prints no digits for 0
  EXPECT_EQ(Format("no conversion", 4, 1), "no conversion");
}

TEST(PrintFormat, SixtyFourBitValuesNeedTheWideModifier) {
  EXPECT_EQ(Format("%lld", 8, 0x123456789), "4886718345");
  EXPECT_EQ(Format("%ld", 8, ~uint64_t{0}), "-1");
  EXPECT_EQ(Format("%llu", 8, ~uint64_t{0}), "18446744073709551615");
  EXPECT_EQ(Format("%016llX", 8, 0xABCDEF0123), "000000ABCDEF0123");
  EXPECT_EQ(Format("%d", 8, 1), std::nullopt);
  EXPECT_EQ(Format("%lli", 8, 1), std::nullopt);
  EXPECT_EQ(Format("%lllx", 8, 1), std::nullopt);
  EXPECT_EQ(Format("%lld", 4, 1), std::nullopt);
  EXPECT_EQ(Format("%ld", 4, 1), std::nullopt);
}

TEST(PrintFormat, StringsTakeWidthAndPrecision) {
  EXPECT_EQ(Format("[%s]", 1, 0, "hi"), "[hi]");
  EXPECT_EQ(Format("[%-4s]", 1, 0, "hi"), "[hi  ]");
  EXPECT_EQ(Format("[%6.2s]", 1, 0, "hi"), "[    hi]");
  EXPECT_EQ(Format("%s", 4, 0, "hi"), std::nullopt);
  EXPECT_EQ(Format("%d", 1, 0, "hi"), std::nullopt);
}

TEST(PrintFormat, RefusesWhatPrintfMustNotSee) {
  for (const char* f :
       {"%n",   "%hn",  "%f",   "%e",     "%g",     "%a",      "%p",
        "%*d",  "%.*d", "%5",   "abc%",   "%hd",    "%hhd",    "%jd",
        "%zd",  "%Lf",  "%'d",  "%1$d",   "%#d",    "%#u",     "%#c",
        "%05c", "%.2c", "%d%d", "%d%%%d", "%4097d", "%.4097d", "%99999999999999999999d"}) {
    EXPECT_EQ(ParsePrintFormat(f, 4), std::nullopt) << f;
  }
  EXPECT_EQ(ParsePrintFormat("%#s", 1), std::nullopt);
  EXPECT_EQ(ParsePrintFormat("%0s", 1), std::nullopt);
  EXPECT_EQ(ParsePrintFormat("%ls", 1), std::nullopt);
  EXPECT_NE(ParsePrintFormat("%4096.4096d", 4), std::nullopt);
}

TEST(PrintFormat, WidestFieldsStayBounded) {
  EXPECT_EQ(Format("%4096d", 4, 1)->size(), 4096u);
  EXPECT_EQ(Format("%-4096.4096llx", 8, ~uint64_t{0})->size(), 4096u);
  std::string long_text(10000, 'z');
  EXPECT_EQ(Format("%4096s", 1, 0, long_text)->size(), 10000u);
}

// A slow, independent check of what may reach snprintf: one conversion at most, made only of
// flag, digit and dot characters, an optional "l"/"ll" and an integer or string kind.
bool LooksSafe(const std::string& f) {
  int conversions = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%') continue;
    if (i + 1 < f.size() && f[i + 1] == '%') {
      ++i;
      continue;
    }
    ++conversions;
    size_t j = i + 1;
    while (j < f.size() && std::string_view("-+ #0123456789.").find(f[j]) != std::string::npos) ++j;
    while (j < f.size() && f[j] == 'l') ++j;
    if (j >= f.size() || std::string_view("diuoxXcs").find(f[j]) == std::string::npos) return false;
    i = j;
  }
  return conversions <= 1;
}

TEST(PrintFormatFuzz, AcceptedFormatsRenderAsPrintfWould) {
  const std::string alphabet = "%%%%-+ #0123456789.*lllhhdiuoxXcsnfp$ab";
  uint64_t accepted = 0;
  test::FuzzFor(
      20240611,
      [&](std::mt19937_64& rng) {
        std::string f;
        for (size_t len = rng() % 12; len > 0; --len) f += alphabet[rng() % alphabet.size()];
        uint32_t size = std::array<uint32_t, 3>{1, 4, 8}[rng() % 3];
        auto parsed = ParsePrintFormat(f, size);
        if (!parsed) return;
        ASSERT_TRUE(LooksSafe(f)) << f;
        ++accepted;
        uint64_t value = rng();
        std::string out = RenderPrintFormat(*parsed, value, "text");
        ASSERT_LE(out.size(), f.size() + kMaxFieldWidth + 32) << f;
        // The format passed the independent check above, so printf itself may now judge the result.
        char expect[kMaxFieldWidth + 64];
        int n;
        if (size == 1)
          n = std::snprintf(expect, sizeof expect, f.c_str(), "text");
        else if (size == 8)
          n = std::snprintf(expect, sizeof expect, f.c_str(), (long long)value);
        else
          n = std::snprintf(expect, sizeof expect, f.c_str(), static_cast<uint32_t>(value));
        ASSERT_EQ(out, std::string(expect, n)) << f;
      },
      100000);
  EXPECT_GT(accepted, 0u);
}

}  // namespace
}  // namespace orva::services
