#include "services/wildcard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/fuzz.h"

namespace orva::services {
namespace {

// The obvious recursive definition: "*" any run of bytes, "?" one byte, ASCII letters fold.
bool Reference(std::string_view n, std::string_view p) {
  if (p.empty()) return n.empty();
  if (p[0] == '*') return Reference(n, p.substr(1)) || (!n.empty() && Reference(n.substr(1), p));
  auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; };
  if (n.empty() || (p[0] != '?' && fold(p[0]) != fold(n[0]))) return false;
  return Reference(n.substr(1), p.substr(1));
}

TEST(WildcardMatchFuzz, AgreesWithTheReferenceDefinition) {
  // Besides letters of both cases: a two-byte character ("?" takes one byte), "[" and "{"
  // (only letters fold).
  const std::string name_chars = "aAbB.[{\xc3\xa9", pattern_chars = "aAbB.[{\xc3\x89*?";
  test::FuzzFor(
      7,
      [&](std::mt19937_64& rng) {
        std::string n, p;
        for (size_t i = rng() % 10; i > 0; --i) n += name_chars[rng() % name_chars.size()];
        for (size_t i = rng() % 8; i > 0; --i) p += pattern_chars[rng() % pattern_chars.size()];
        ASSERT_EQ(WildcardMatch(n, p), Reference(n, p)) << n << " vs " << p;
      },
      100000);
}

TEST(WildcardMatchFuzz, PathologicalPatternsStayPolynomial) {
  std::string pattern;
  for (int i = 0; i < 200; ++i) pattern += "*a";
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WildcardMatch(std::string(4000, 'a'), pattern + "*b"));
  // 4000 x 400 steps at most; an exponential matcher would never finish.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
}  // namespace orva::services
