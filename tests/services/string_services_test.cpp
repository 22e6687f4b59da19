#include <gtest/gtest.h>

#include "service_fixture.h"

namespace orva::services {
namespace {

class StringServices : public test::ServiceTest {
 protected:
  static constexpr uint32_t kDest = 0x1000, kFormat = 0x2000, kSrc = 0x3000, kEnd = kImageSize;
  std::optional<uint32_t> Str(uint32_t command, std::initializer_list<uint32_t> args) {
    return Call(StringService, command, args);
  }
};

TEST_F(StringServices, PrtfmtAppendsOneCheckedValue) {
  Put(kDest, "");
  Str(0, {kDest, Put(kFormat, "%5d"), 4, 42});
  EXPECT_EQ(host.mem.R(14), (kMarker & ~0xFFFFFFFFull) | 5);  // keeps R14's upper half
  Str(0, {kDest, Put(kFormat, "|%llX|"), 8, 0x89ABCDEF, 0x1234567});
  Str(0, {kDest, Put(kFormat, "[%s]"), 1, kDest});  // the destination as its own argument
  EXPECT_EQ(Get(kDest), "   42|123456789ABCDEF|[   42|123456789ABCDEF|]");
  EXPECT_EQ(R14(), 24u);
  for (const char* refused : {"%n", "%s"}) {  // the formats themselves: print_format_test.cpp
    Str(0, {kDest, Put(kFormat, refused), 4, kDest});
    EXPECT_EQ(R14(), 0u) << refused;
  }
  EXPECT_TRUE(platform.shown_alerts().empty());
  Str(0, {kDest, kFormat, 2, 42});
  EXPECT_EQ(platform.shown_alerts(), std::vector<std::string>{"SYS_PRTFMT: unsupported arg size"});
  EXPECT_EQ(R14(), 0u);
  EXPECT_EQ(Get(kDest).size(), 46u);
}

TEST_F(StringServices, PrtfmtStaysInsideTheImage) {
  uint32_t dest = Put(kEnd - 4, "ab");
  EXPECT_EQ(Str(0, {dest, Put(kFormat, "%d"), 4, 7}), std::nullopt);  // "ab7" + NUL fit exactly
  EXPECT_EQ(Str(0, {dest, kFormat, 4, 7}), kEnd - 1);
  EXPECT_EQ(Get(dest), "ab7");
  std::memcpy(At(kEnd - 3), "xyz", 3);  // no NUL after it: a precision bounds the read
  EXPECT_EQ(Str(0, {Put(kDest, ""), Put(kFormat, "<%.3s>"), 1, kEnd - 3}), std::nullopt);
  EXPECT_EQ(Get(kDest), "<xyz>");
  EXPECT_EQ(Str(0, {kDest, Put(kFormat, "<%s>"), 1, kEnd - 3}), kEnd - 3);
}

TEST_F(StringServices, CopiesOverlapAsThroughATemporary) {
  Str(1, {kDest, Put(kSrc, "hello")});
  Str(2, {kDest, kDest});
  Str(1, {kDest + 1, kDest});
  EXPECT_EQ(Get(kDest), "hhellohello");
  Str(11, {kSrc + 2, Put(kSrc, "0123456789"), 6});
  Str(10, {kSrc, kSrc + 1, 3});
  Str(12, {kSrc + 8, 0x141, 2});
  EXPECT_EQ(Get(kSrc), "10112345AA");
  for (uint32_t command : {10u, 11u, 12u}) Str(command, {kSrc, kDest, 0xFFFFFFFF});
  EXPECT_EQ(Get(kSrc), "10112345AA");  // negative counts do nothing
  EXPECT_TRUE(R14Unchanged());
}

TEST_F(StringServices, ComparisonsAnswerTheFirstDifferenceUnsigned) {
  auto compare = [&](uint32_t command, const char* a, const char* b, uint32_t count = 4) {
    Str(command, {Put(kDest, a), Put(kSrc, b), count});
    return static_cast<int32_t>(R14());
  };
  EXPECT_EQ(compare(4, "abc", "abd"), -1);
  EXPECT_EQ(compare(4, "\xff", "a"), 0xFF - 'a');
  EXPECT_EQ(compare(13, "abcd", "abzd", 2), 0);
  EXPECT_EQ(compare(13, "abcd", "abzd", 0x80000000), 0);
}

TEST_F(StringServices, WhatLeavesTheImageFaultsBeforeAnyWrite) {
  std::memset(At(kEnd - 8), 'x', 8);  // no NUL before the end
  EXPECT_EQ(Str(3, {kEnd - 8}), kEnd - 8);
  EXPECT_EQ(Str(3, {kEnd + 8}), kEnd + 8);
  EXPECT_EQ(Str(1, {kEnd - 8, Put(kSrc, "0123456789")}), kEnd - 8);
  EXPECT_EQ(Str(10, {kDest, kEnd - 2, 4}), kEnd - 2);
  EXPECT_EQ(Str(12, {kEnd - 2, 'q', 4}), kEnd - 2);
  EXPECT_EQ(Bytes(kEnd - 8, 8), "xxxxxxxx");
  // A comparison reads only up to its first difference.
  EXPECT_EQ(Str(4, {kEnd - 8, Put(kSrc, "xy")}), std::nullopt);
  EXPECT_EQ(Str(4, {kEnd - 8, Put(kSrc, "xxxxxxxxxx")}), kEnd);
}

// The program run shows "ß" becoming "SS".
TEST_F(StringServices, UpperCaseLeavesBadUtf8AloneAndMayGrowToTheImageEnd) {
  for (const char* bad : {"ok\xc3(", "\xc0\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80"}) {
    Str(5, {Put(kDest, bad)});
    EXPECT_EQ(Get(kDest), bad);  // not UTF-8: left alone
  }
  EXPECT_EQ(Str(5, {Put(kEnd - 4, "\xc5\x89")}), std::nullopt);  // "ŉ" grows into "ʼN"
  EXPECT_EQ(Get(kEnd - 4), "\xca\xbcN");
  EXPECT_EQ(Str(5, {Put(kEnd - 3, "\xc5\x89")}), kEnd - 3);  // one byte short
  EXPECT_EQ(Bytes(kEnd - 3, 3), std::string("\xc5\x89\0", 3));
}

TEST_F(StringServices, LogAndUnknownCommands) {
  Str(14, {Put(kSrc, "checkpoint 3")});
  EXPECT_EQ(platform.log_lines(), std::vector<std::string>{"checkpoint 3"});
  host.mem.SetPC(0x1234);
  for (uint32_t command : {6u, 9u, 15u}) Str(command, {});
  EXPECT_EQ(platform.shown_alerts(),
            std::vector<std::string>(3, "Unknown SYS command at 0x00001234. Ack!"));
  EXPECT_TRUE(R14Unchanged());
}

}  // namespace
}  // namespace orva::services
