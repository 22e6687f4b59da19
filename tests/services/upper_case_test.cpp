#include "services/upper_case.h"

#include <gtest/gtest.h>

namespace orva::services {
namespace {

TEST(UpperCaseUtf8, MapsWithoutLocaleTailoring) {
  EXPECT_EQ(UpperCaseUtf8("abc XYZ 123"), "ABC XYZ 123");
  EXPECT_EQ(UpperCaseUtf8("\xc3\x9f"), "SS");                        // ß
  EXPECT_EQ(UpperCaseUtf8("\xc5\x89"), "\xca\xbcN");                 // ŉ → ʼN
  EXPECT_EQ(UpperCaseUtf8("i"), "I");                                // not the Turkish İ
  EXPECT_EQ(UpperCaseUtf8("\xce\xac\xcf\x82"), "\xce\x86\xce\xa3");  // άς → ΆΣ
  EXPECT_EQ(UpperCaseUtf8(""), "");
  std::string long_text(100000, '\xc3');
  for (size_t i = 1; i < long_text.size(); i += 2) long_text[i] = '\x9f';
  EXPECT_EQ(UpperCaseUtf8(long_text)->size(), 100000u);
}

TEST(UpperCaseUtf8, RefusesIllFormedText) {
  for (std::string_view bad :
       {"\xc3", "\xc0\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "a\xffz", "\xe2\x82"}) {
    EXPECT_EQ(UpperCaseUtf8(bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace orva::services
