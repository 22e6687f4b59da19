// Floating operations and the conversions between integer and floating values.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "support/run_op.h"

namespace orva::test {
namespace {

using vm::StopKind;

uint64_t F(float v) { return std::bit_cast<uint32_t>(v); }
uint64_t D(double v) { return std::bit_cast<uint64_t>(v); }
float AsF(uint64_t bits) { return std::bit_cast<float>(static_cast<uint32_t>(bits)); }
double AsD(uint64_t bits) { return std::bit_cast<double>(bits); }

constexpr uint64_t kNoInteger = 0x8000000000000000;

TEST(Floating, ArithmeticInBothPrecisions) {
  EXPECT_EQ(AsF(RunBinary("fadd", kL, F(1.5f), F(2.25f)).value), 3.75f);
  EXPECT_EQ(AsF(RunBinary("fsub", kL, F(1.5f), F(2.25f)).value), -0.75f);
  EXPECT_EQ(AsD(RunBinary("fmul", kQ, D(1.5), D(-4.0)).value), -6.0);
  EXPECT_EQ(AsD(RunBinary("fdiv", kQ, D(1.0), D(3.0)).value), 1.0 / 3.0);
  EXPECT_TRUE(std::isinf(AsD(RunBinary("fdiv", kQ, D(1.0), D(0.0)).value)));
}

TEST(Floating, FloatResultsKeepTheUpperHalfOfTheOperand) {
  EXPECT_EQ(RunBinary("fadd", kL, 0xABCD000000000000 | F(1.0f), F(1.0f)).value,
            0xABCD000000000000 | F(2.0f));
}

TEST(Floating, RoundsToNearestEven) {
  // 1 + 2^-24 lies halfway between 1 and the next float: ties go to the even 1.0.
  EXPECT_EQ(AsF(RunBinary("fadd", kL, F(1.0f), F(0x1p-24f)).value), 1.0f);
  EXPECT_EQ(AsF(RunBinary("fadd", kL, F(1.0f + 0x1p-23f), F(0x1p-24f)).value), 1.0f + 0x1p-22f);
  EXPECT_EQ(AsD(RunBinary("fadd", kQ, D(1.0), D(0x1p-53)).value), 1.0);
}

TEST(Floating, CompareSetsZeroAndNegativeOnly) {
  OpResult r = RunBinary("fcmp", kQ, D(1.5), D(2.5));
  EXPECT_EQ(r.flags, 4);
  EXPECT_EQ(r.value, D(1.5));  // not written
  EXPECT_EQ(RunBinary("fcmp", kQ, D(2.0), D(2.0)).flags, 2);
  EXPECT_EQ(RunBinary("fcmp", kQ, D(3.0), D(2.0)).flags, 0);
  EXPECT_EQ(RunBinary("fcmp", kQ, D(NAN), D(1.0)).flags, 0);
  EXPECT_EQ(RunBinary("fcmp", kL, F(-0.0f), F(0.0f)).flags, 2);
  EXPECT_EQ(RunBinary("fsub", kL, F(1.0f), F(3.0f)).flags, 4);
  EXPECT_EQ(RunBinary("fadd", kL, F(1.0f), F(3.0f)).flags, 0xA8);  // no flags
}

TEST(Floating, ByteAndWordSizesAlertAndGoOn) {
  for (auto op : {"fadd", "fsub", "fmul", "fdiv", "fcmp"}) {
    for (uint32_t size : {kB, kW}) {
      OpResult r = RunBinary(op, size, 7, 9);
      EXPECT_EQ(r.stop, StopKind::kHalt) << op;
      EXPECT_EQ(r.value, 7u);
      EXPECT_EQ(r.flags, 0xA8);
      ASSERT_EQ(r.alerts.size(), 1u);
      EXPECT_EQ(r.alerts[0], "BYTE/WORD size illegal for FLOAT/DOUBLE at 0x00000200");
    }
  }
  EXPECT_EQ(RunUnary(0, 5).alerts.size(), 1u);
  EXPECT_EQ(RunUnary(1, 5).value, 5u);
}

TEST(Conversions, IntegersToFloatingFillAllEightBytes) {
  EXPECT_EQ(RunUnary(UCode("cvtsf", kL), 0xFFFFFFFFFFFFFFFF).value, F(-1.0f));
  EXPECT_EQ(RunUnary(UCode("cvtuf", kL), 0x12345678FFFFFFFF).value, F(4294967295.0f));
  EXPECT_EQ(RunUnary(UCode("cvtsf", kB), 0x80).value, F(-128.0f));
  EXPECT_EQ(RunUnary(UCode("cvtuf", kB), 0x80).value, F(128.0f));
  EXPECT_EQ(RunUnary(UCode("cvtsd", kW), 0x8000).value, D(-32768.0));
  EXPECT_EQ(RunUnary(UCode("cvtud", kQ), ~0ull).value, D(18446744073709551615.0));
  EXPECT_EQ(RunUnary(UCode("cvtsd", kQ), ~0ull).value, D(-1.0));
  // An unsigned QUAD to FLOAT rounds to nearest: 2^64 - 1 becomes 2^64.
  EXPECT_EQ(RunUnary(UCode("cvtuf", kQ), ~0ull).value, F(18446744073709551616.0f));
  EXPECT_EQ(RunUnary(UCode("cvtuf", kQ), (1ull << 24) + 1).value, F(16777216.0f));
  EXPECT_EQ(RunUnary(UCode("cvtuf", kQ), (1ull << 24) + 3).value, F(16777220.0f));
}

TEST(Conversions, FloatingToIntegerTruncatesAndHasOneValueForTheImpossible) {
  for (uint32_t size : {kB, kW, kL, kQ}) {  // the size bits are ignored
    EXPECT_EQ(RunUnary(UCode("cvtfi", size), F(-2.75f)).value, static_cast<uint64_t>(-2));
    EXPECT_EQ(RunUnary(UCode("cvtdi", size), D(1e15 + 0.5)).value, 1000000000000000u);
  }
  EXPECT_EQ(RunUnary(UCode("cvtdi", kL), D(NAN)).value, kNoInteger);
  EXPECT_EQ(RunUnary(UCode("cvtdi", kL), D(INFINITY)).value, kNoInteger);
  EXPECT_EQ(RunUnary(UCode("cvtdi", kL), D(-INFINITY)).value, kNoInteger);
  EXPECT_EQ(RunUnary(UCode("cvtdi", kL), D(0x1p63)).value, kNoInteger);
  EXPECT_EQ(RunUnary(UCode("cvtdi", kL), D(-0x1p63)).value, kNoInteger);
  EXPECT_EQ(RunUnary(UCode("cvtdi", kL), D(0x1p63 - 1024)).value, 0x7FFFFFFFFFFFFC00u);
  EXPECT_EQ(RunUnary(UCode("cvtfi", kL), F(NAN)).value, kNoInteger);
  EXPECT_EQ(RunUnary(UCode("cvtfi", kL), F(1e19f)).value, kNoInteger);
}

TEST(Conversions, FloatToDoubleAndDoubleThroughFloatToInteger) {
  EXPECT_EQ(RunUnary(UCode("cvtfd", kL), 0xFFFFFFFF00000000 | F(0.1f)).value,
            D(static_cast<double>(0.1f)));
  // Codes 68-71: the DOUBLE rounded to FLOAT, truncated, low 32 bits into the first 4 bytes.
  EXPECT_EQ(RunUnary(UCode("cvtdf", kL), D(-3.99)).value, (D(-3.99) & ~0xFFFFFFFFull) | 0xFFFFFFFD);
  // 16777217 rounds to the float 16777216.
  EXPECT_EQ(RunUnary(UCode("cvtdf", kQ), D(16777217.0)).value & 0xFFFFFFFF, 16777216u);
  // 2^40 survives as an integer; its low 32 bits are 0.
  EXPECT_EQ(RunUnary(UCode("cvtdf", kQ), D(0x1p40)).value & 0xFFFFFFFF, 0u);
  EXPECT_EQ(RunUnary(UCode("cvtdf", kB), D(NAN)).value & 0xFFFFFFFF, 0u);
  EXPECT_EQ(RunUnary(UCode("cvtdf", kB), D(1e300)).value & 0xFFFFFFFF, 0u);
}

TEST(Conversions, NegateFlipsOnlyTheSignBit) {
  EXPECT_EQ(RunUnary(2, 0xFFFFFFFF00000000 | F(1.5f)).value, 0xFFFFFFFF00000000 | F(-1.5f));
  EXPECT_EQ(RunUnary(3, D(2.5)).value, D(-2.5));
  EXPECT_EQ(RunUnary(3, D(NAN)).value, D(NAN) ^ (1ull << 63));
}

}  // namespace
}  // namespace orva::test
