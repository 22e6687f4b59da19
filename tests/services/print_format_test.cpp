#include "services/print_format.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// What is accepted renders as printf would: see the fuzz test below.
TEST(PrintFormat, LengthAndKindMustAgreeWithTheSize) {
  for (const char* f : {"%d", "%lli", "%lllx"})
    EXPECT_EQ(ParsePrintFormat(f, 8), std::nullopt) << f;
  for (const char* f : {"%lld", "%ld", "%s"}) EXPECT_EQ(ParsePrintFormat(f, 4), std::nullopt) << f;
  for (const char* f : {"%d", "%ls"}) EXPECT_EQ(ParsePrintFormat(f, 1), std::nullopt) << f;
}

TEST(PrintFormat, RefusesWhatPrintfMustNotSee) {
  // Besides these, the fuzz test's alphabet reaches %n, %*d, %hd, %p, %1$d and two conversions.
  for (const char* f : {"%e", "%jd", "%zd", "%'d", "%#d", "%#c", "%05c", "%.2c", "%4097d",
                        "%.4097d", "%99999999999999999999d"}) {
    EXPECT_EQ(ParsePrintFormat(f, 4), std::nullopt) << f;
  }
  EXPECT_EQ(ParsePrintFormat("%#s", 1), std::nullopt);
  EXPECT_EQ(ParsePrintFormat("%0s", 1), std::nullopt);
  // The widest accepted fields stay small.
  EXPECT_EQ(Format("%-4096.4096llx", 8, ~uint64_t{0})->size(), 4096u);
  EXPECT_EQ(Format("%4096s", 1, 0, std::string(5000, 'z'))->size(), 5000u);
}

// An independent check of what may reach snprintf: at most one conversion, made only of flag,
// digit and dot characters, an optional "l"/"ll" and an integer or string kind.
bool LooksSafe(const std::string& f) {
  int conversions = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%') continue;
    if (i + 1 < f.size() && f[i + 1] == '%') {
      ++i;
      continue;
    }
    ++conversions;
    size_t j = f.find_first_not_of("-+ #0123456789.", i + 1);
    j = j == std::string::npos ? f.size() : f.find_first_not_of('l', j);
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
        // Checked above, so printf itself may now judge the result.
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
  EXPECT_GT(accepted, 1000u);
}

}  // namespace
}  // namespace orva::services
