#include "services/wildcard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "support/fuzz.h"

namespace orva::services {
namespace {

TEST(WildcardMatch, StarQuestionMarkAndCase) {
  EXPECT_TRUE(WildcardMatch("GAME1.sav", "*.SAV"));
  EXPECT_TRUE(WildcardMatch("a.b", "*.*"));
  EXPECT_FALSE(WildcardMatch("README", "*.*"));
  EXPECT_TRUE(WildcardMatch("README", "*"));
  EXPECT_TRUE(WildcardMatch("", "*"));
  EXPECT_TRUE(WildcardMatch("", "***"));
  EXPECT_FALSE(WildcardMatch("", "?"));
  EXPECT_TRUE(WildcardMatch("LEVEL07.DAT", "level??.dat"));
  EXPECT_FALSE(WildcardMatch("LEVEL7.DAT", "level??.dat"));
  EXPECT_FALSE(WildcardMatch("LEVEL007.DAT", "level??.dat"));
  EXPECT_TRUE(WildcardMatch("abcabd", "*abd"));  // the star must give back what it took
  EXPECT_TRUE(WildcardMatch("aXbXc", "a*b*c"));
  EXPECT_FALSE(WildcardMatch("aXbXcX", "a*b*c"));
  EXPECT_FALSE(WildcardMatch("abc", "ab"));
  EXPECT_FALSE(WildcardMatch("ab", "abc"));
  EXPECT_TRUE(WildcardMatch("ab", "ab*"));
  EXPECT_FALSE(WildcardMatch("\xc3\xa9", "?"));         // "?" is one byte
  EXPECT_FALSE(WildcardMatch("\xc3\xa9", "\xc3\x89"));  // only ASCII letters fold
  EXPECT_FALSE(WildcardMatch("[", "{"));                // folding touches letters only
}

// The obvious recursive definition, for comparison.
bool Reference(std::string_view n, std::string_view p) {
  if (p.empty()) return n.empty();
  if (p[0] == '*') return Reference(n, p.substr(1)) || (!n.empty() && Reference(n.substr(1), p));
  if (n.empty()) return false;
  auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; };
  if (p[0] != '?' && fold(p[0]) != fold(n[0])) return false;
  return Reference(n.substr(1), p.substr(1));
}

TEST(WildcardMatchFuzz, AgreesWithTheReferenceDefinition) {
  const std::string name_chars = "aAbB.", pattern_chars = "aAbB.*?";
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
  std::string name(4000, 'a');
  std::string pattern;
  for (int i = 0; i < 200; ++i) pattern += "*a";
  pattern += "*b";
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WildcardMatch(name, pattern));
  // 4000 x 400 steps at most; an exponential matcher would never finish.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
}  // namespace orva::services
