#include <gtest/gtest.h>

#include "service_fixture.h"

namespace orva::services {
namespace {

using testing_support::ServiceTest;

class StringServices : public ServiceTest {
 protected:
  static constexpr uint32_t kDest = 0x1000, kFormat = 0x2000, kSrc = 0x3000;
  std::optional<uint32_t> Str(uint32_t command, std::initializer_list<uint32_t> args) {
    return Call(StringService, command, args);
  }
};

TEST_F(StringServices, PrtfmtAppendsOneValueAfterTheDestination) {
  Put(kDest, "");
  Put(kFormat, "%5d");
  EXPECT_EQ(Str(0, {kDest, kFormat, 4, 42}), std::nullopt);
  EXPECT_EQ(Get(kDest), "   42");
  EXPECT_EQ(R14(), 5u);
  EXPECT_EQ(R14Full() >> 32, kMarker >> 32);  // a 32-bit answer keeps the upper half

  Str(0, {kDest, kFormat, 4, 42});
  EXPECT_EQ(Get(kDest), "   42   42");

  Put(kDest, "v=");
  Put(kFormat, "%llX!");
  Str(0, {kDest, kFormat, 8, 0x89ABCDEF, 0x1234567});
  EXPECT_EQ(Get(kDest), "v=123456789ABCDEF!");
  EXPECT_EQ(R14(), 16u);
}

TEST_F(StringServices, PrtfmtStringArgumentMayBeTheDestinationItself) {
  Put(kFormat, "[%s]");
  Put(kSrc, "name");
  Put(kDest, "");
  Str(0, {kDest, kFormat, 1, kSrc});
  EXPECT_EQ(Get(kDest), "[name]");
  Str(0, {kDest, kFormat, 1, kDest});
  EXPECT_EQ(Get(kDest), "[name][[name]]");
  EXPECT_EQ(R14(), 8u);
}

TEST_F(StringServices, PrtfmtUnsupportedSizeAlertsAndAppendsNothing) {
  Put(kDest, "keep");
  Put(kFormat, "%d");
  Str(0, {kDest, kFormat, 2, 42});
  EXPECT_EQ(Get(kDest), "keep");
  EXPECT_EQ(R14(), 0u);
  ASSERT_EQ(platform.alerts().size(), 1u);
  EXPECT_EQ(platform.alerts()[0], "SYS_PRTFMT: unsupported arg size");
}

TEST_F(StringServices, PrtfmtRefusedFormatAppendsNothingSilently) {
  for (const char* f : {"%n", "%d and %d", "%*d", "%s", "%lld", "%9999d"}) {
    Put(kDest, "keep");
    Put(kFormat, f);
    host.mem.SetR(14, kMarker);
    Str(0, {kDest, kFormat, 4, kDest});
    EXPECT_EQ(Get(kDest), "keep") << f;
    EXPECT_EQ(R14(), 0u) << f;
  }
  EXPECT_TRUE(platform.alerts().empty());
}

TEST_F(StringServices, PrtfmtThatWouldLeaveTheImageFaultsWithoutWriting) {
  uint32_t dest = kImageSize - 4;
  Put(dest, "ab");
  Put(kFormat, "%d");
  EXPECT_EQ(Str(0, {dest, kFormat, 4, 7}), std::nullopt);  // "ab7" and its NUL fit exactly
  EXPECT_EQ(Get(dest), "ab7");
  EXPECT_EQ(Str(0, {dest, kFormat, 4, 7}), kImageSize - 1);
  EXPECT_EQ(Get(dest), "ab7");
  EXPECT_EQ(R14(), 1u);  // unchanged by the faulting call
}

TEST_F(StringServices, PrtfmtPrecisionBoundsTheStringRead) {
  // The last bytes of the image, with no NUL after them.
  std::memcpy(At(kImageSize - 3), "xyz", 3);
  Put(kFormat, "<%.3s>");
  Put(kDest, "");
  EXPECT_EQ(Str(0, {kDest, kFormat, 1, kImageSize - 3}), std::nullopt);
  EXPECT_EQ(Get(kDest), "<xyz>");
  Put(kFormat, "<%s>");
  EXPECT_EQ(Str(0, {kDest, kFormat, 1, kImageSize - 3}), kImageSize - 3);
}

TEST_F(StringServices, CopyAndAppendStrings) {
  Put(kSrc, "hello");
  Str(1, {kDest, kSrc});
  EXPECT_EQ(Get(kDest), "hello");
  Str(2, {kDest, kSrc});
  EXPECT_EQ(Get(kDest), "hellohello");
  Str(2, {kDest, kDest});  // appending a string to itself
  EXPECT_EQ(Get(kDest), "hellohellohellohello");
  Str(1, {kDest + 1, kDest});  // overlapping copy, as if through a temporary
  EXPECT_EQ(Get(kDest), "hhellohellohellohello");
  EXPECT_TRUE(R14Unchanged());

  std::memset(At(kDest), 0, 32);
  Put(kDest, "same");
  At(kDest)[10] = 0x5A;
  Str(1, {kDest, kDest});
  EXPECT_EQ(Bytes(kDest, 11), std::string("same\0\0\0\0\0\0\x5A", 11));
}

TEST_F(StringServices, LengthAndCompare) {
  Put(kSrc, "hello");
  Str(3, {kSrc});
  EXPECT_EQ(R14(), 5u);

  auto compare = [&](const char* a, const char* b) {
    Put(kDest, a);
    Put(kSrc, b);
    Str(4, {kDest, kSrc});
    return static_cast<int32_t>(R14());
  };
  EXPECT_EQ(compare("abc", "abd"), -1);
  EXPECT_EQ(compare("b", "a"), 1);
  EXPECT_EQ(compare("", "a"), -97);
  EXPECT_EQ(compare("same", "same"), 0);
  EXPECT_EQ(compare("\xff", "a"), 0xFF - 'a');  // bytes compare unsigned
}

TEST_F(StringServices, StringsThatRunOffTheImageFault) {
  std::memset(At(kImageSize - 8), 'x', 8);  // no NUL before the end of the image
  EXPECT_EQ(Str(3, {kImageSize - 8}), kImageSize - 8);
  EXPECT_EQ(Str(3, {kImageSize + 8}), kImageSize + 8);
  Put(kSrc, "xxxxxxxxxxxxxxxx");
  EXPECT_EQ(Str(1, {kImageSize - 8, kSrc}), kImageSize - 8);
  EXPECT_EQ(Bytes(kImageSize - 8, 8), "xxxxxxxx");
  // A difference before the end settles a comparison without reading further.
  Put(kSrc, "xy");
  EXPECT_EQ(Str(4, {kImageSize - 8, kSrc}), std::nullopt);
  EXPECT_EQ(R14(), uint32_t('x' - 'y'));
  Put(kSrc, "xxxxxxxxxx");
  EXPECT_EQ(Str(4, {kImageSize - 8, kSrc}), kImageSize);
  EXPECT_TRUE(platform.alerts().empty());
}

TEST_F(StringServices, MemoryCopyFillAndCompare) {
  Put(kSrc, "0123456789");
  Str(10, {kDest, kSrc, 4});
  EXPECT_EQ(Bytes(kDest, 5), std::string("0123\0", 5));
  Str(11, {kSrc + 2, kSrc, 6});  // overlapping
  EXPECT_EQ(Get(kSrc), "0101234589");
  Str(12, {kDest, 0x141, 3});
  EXPECT_EQ(Bytes(kDest, 4), "AAA3");

  Put(kDest, "abcd");
  Put(kSrc, "abzd");
  Str(13, {kDest, kSrc, 4});
  EXPECT_EQ(static_cast<int32_t>(R14()), 'c' - 'z');
  Str(13, {kDest, kSrc, 2});
  EXPECT_EQ(R14(), 0u);
}

TEST_F(StringServices, NegativeCountsDoNothing) {
  Put(kDest, "abcd");
  Put(kSrc, "wxyz");
  for (uint32_t cmd : {10u, 11u}) Str(cmd, {kDest, kSrc, 0xFFFFFFFF});
  Str(12, {kDest, 'q', 0x80000000});
  EXPECT_EQ(Get(kDest), "abcd");
  Str(13, {kDest, kSrc, 0xFFFFFFF0});
  EXPECT_EQ(R14(), 0u);
}

TEST_F(StringServices, MemoryRangesThatLeaveTheImageFaultBeforeWriting) {
  Put(kDest, "abcd");
  EXPECT_EQ(Str(10, {kDest, kImageSize - 2, 4}), kImageSize - 2);
  EXPECT_EQ(Str(12, {kImageSize - 2, 'q', 4}), kImageSize - 2);
  EXPECT_EQ(Bytes(kImageSize - 2, 2), std::string("\0\0", 2));
  EXPECT_EQ(Str(13, {kDest, 0xFFFFFFFF, 1}), 0xFFFFFFFFu);
  EXPECT_EQ(Get(kDest), "abcd");
}

TEST_F(StringServices, UpperCaseUsesFullUnicodeMapping) {
  Put(kDest,
      "stra\xc3\x9f"
      "e caf\xc3\xa9 \xef\xac\x81");  // straße café ﬁ
  Str(5, {kDest});
  EXPECT_EQ(Get(kDest), "STRASSE CAF\xc3\x89 FI");

  Put(kDest, "ok\xc3(bad");  // not UTF-8: left alone
  Str(5, {kDest});
  EXPECT_EQ(Get(kDest), "ok\xc3(bad");
  EXPECT_TRUE(R14Unchanged());
}

TEST_F(StringServices, UpperCaseGrowthThatWouldLeaveTheImageFaults) {
  uint32_t s = kImageSize - 4;
  Put(s, "\xc3\x9f\xc3");  // invalid: untouched even at the edge
  EXPECT_EQ(Str(5, {s}), std::nullopt);
  Put(s, "\xc5\x89");  // "ŉ" becomes "ʼN": four bytes with the NUL fit exactly
  EXPECT_EQ(Str(5, {s}), std::nullopt);
  EXPECT_EQ(Get(s), "\xca\xbcN");
  s = kImageSize - 3;
  Put(s, "\xc5\x89");  // here it needs one byte more than the image has
  EXPECT_EQ(Str(5, {s}), s);
  EXPECT_EQ(Bytes(s, 3), std::string("\xc5\x89\0", 3));
}

TEST_F(StringServices, SystemLogGetsTheString) {
  Put(kSrc, "checkpoint 3");
  Str(14, {kSrc});
  ASSERT_EQ(platform.log().size(), 1u);
  EXPECT_EQ(platform.log()[0], "checkpoint 3");
}

TEST_F(StringServices, UnknownCommandsAlertWithTheAddressAndKeepR14) {
  host.mem.SetPC(0x1234);
  for (uint32_t cmd : {6u, 7u, 8u, 9u, 15u, 255u}) Str(cmd, {});
  ASSERT_EQ(platform.alerts().size(), 6u);
  EXPECT_EQ(platform.alerts()[0], "Unknown SYS command at 0x00001234. Ack!");
  EXPECT_TRUE(R14Unchanged());
}

}  // namespace
}  // namespace orva::services
