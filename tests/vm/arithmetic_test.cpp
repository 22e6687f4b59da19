// Integer operations: results, wrapping, the flags rule, shifts and division.
#include <gtest/gtest.h>

#include "support/run_op.h"

namespace orva::test {
namespace {

using vm::StopKind;

constexpr uint8_t kUntouched = 0xA8;  // a FLAGS value no flag-setting operation produces

TEST(Flags, SubtractSetsOddZeroAndNegativeFromTheResultAtItsSize) {
  EXPECT_EQ(RunBinary("sub", kB, 5, 5).flags, 2);
  OpResult r = RunBinary("sub", kB, 4, 5);
  EXPECT_EQ(r.value & 0xFF, 0xFFu);
  EXPECT_EQ(r.flags, 5);
  EXPECT_EQ(RunBinary("sub", kW, 0x10000, 1).flags, 5);  // only the low 16 bits count
  EXPECT_EQ(RunBinary("sub", kQ, 0, 1).flags, 5);
  EXPECT_EQ(RunBinary("sub", kL, 0x100000003, 1).flags, 0);  // 2: even, not zero, positive
}

TEST(Flags, CompareIsTheSignOfTheWrappedDifferenceAndWritesNothing) {
  OpResult r = RunBinary("cmp", kL, 0x80000000, 1);
  EXPECT_EQ(r.value, 0x80000000u);
  EXPECT_EQ(r.flags, 1);  // 0x7FFFFFFF: odd, positive; no overflow flag
  EXPECT_EQ(RunBinary("cmp", kL, 5, 5).flags, 2);
  EXPECT_EQ(RunBinary("test", kB, 0xF0, 0x0F).flags, 2);
  EXPECT_EQ(RunBinary("test", kB, 0xF0, 0x80).flags, 4);
}

TEST(Flags, OnlyTheOperationsThatSayFlagsChangeThem) {
  for (auto op : {"add", "mul", "or", "mov", "movz", "divs", "rems", "divu", "remu", "lea"})
    EXPECT_EQ(RunBinary(op, kL, 6, 3).flags, kUntouched) << op;
  for (auto op : {"sub", "cmp", "test", "and", "xor", "lsl", "lsr", "asr"})
    EXPECT_NE(RunBinary(op, kL, 6, 3).flags, kUntouched) << op;
}

TEST(Integer, ArithmeticWrapsAtTheOperandSize) {
  EXPECT_EQ(RunBinary("add", kB, 0x11FF, 1).value, 0x1100u);
  EXPECT_EQ(RunBinary("add", kQ, ~0ull, 2).value, 1u);
  EXPECT_EQ(RunBinary("sub", kW, 0xAAAA0000, 1).value, 0xAAAAFFFFu);
  EXPECT_EQ(RunBinary("mul", kW, 0xFFFF, 0xFFFF).value, 1u);
  EXPECT_EQ(RunBinary("mul", kL, 0x10000, 0x10000).value, 0u);
  EXPECT_EQ(RunBinary("mul", kQ, 0xFFFFFFFFFFFFFFFF, 3).value, 0xFFFFFFFFFFFFFFFDu);
  EXPECT_EQ(RunBinary("and", kL, 0xFF00FF00, 0x0FF00FF0).value, 0x0F000F00u);
  EXPECT_EQ(RunBinary("or", kL, 0xFF00FF00, 0x0FF00FF0).value, 0xFFF0FFF0u);
  EXPECT_EQ(RunBinary("xor", kL, 0xFF00FF00, 0x0FF00FF0).value, 0xF0F0F0F0u);
}

TEST(Integer, MoveZeroExtendedFillsAllEightBytes) {
  EXPECT_EQ(RunBinary("movz", kB, 0x1122334455667788, 0xFF).value, 255u);
  EXPECT_EQ(RunBinary("movz", kW, ~0ull, 0xABCDEF).value, 0xCDEFu);
  EXPECT_EQ(RunBinary("movz", kL, ~0ull, 0x1234567890).value, 0x34567890u);
  EXPECT_EQ(RunBinary("movz", kQ, 0, 0x1234567890).value, 0x1234567890u);
}

TEST(Shifts, NarrowValuesShiftAs32BitsWithTheCountModulo32) {
  EXPECT_EQ(RunBinary("lsl", kB, 0x01, 7).value & 0xFF, 0x80u);
  for (uint32_t count : {8u, 20u, 31u}) EXPECT_EQ(RunBinary("lsl", kB, 0x01, count).value, 0u);
  EXPECT_EQ(RunBinary("lsl", kB, 0x01, 32).value, 1u);  // unchanged
  EXPECT_EQ(RunBinary("asr", kB, 0x80, 8).value, 0xFFu);
  EXPECT_EQ(RunBinary("asr", kB, 0x40, 31).value, 0u);
  EXPECT_EQ(RunBinary("asr", kL, 0x80000000, 31).value, 0xFFFFFFFFu);
  EXPECT_EQ(RunBinary("lsr", kL, 0x80000000, 31).value, 1u);
  EXPECT_EQ(RunBinary("lsr", kW, 0x8000, 15).value, 1u);
  EXPECT_EQ(RunBinary("asr", kW, 0x8000, 15).value, 0xFFFFu);
}

TEST(Shifts, QuadCountsAreModulo64AndOnlyTheFirstByteCounts) {
  EXPECT_EQ(RunBinary("lsl", kQ, 1, 65).value, 2u);
  EXPECT_EQ(RunBinary("lsl", kQ, 1, 0x100 + 63).value, 0x8000000000000000u);
  EXPECT_EQ(RunBinary("asr", kQ, 0x8000000000000000, 63).value, ~0ull);
  EXPECT_EQ(RunBinary("lsr", kQ, 0x8000000000000000, 63).value, 1u);
  EXPECT_EQ(RunBinary("lsr", kQ, 0x8000000000000000, 64).value, 0x8000000000000000u);
}

TEST(Shifts, SetFlagsFromTheShiftedValue) {
  EXPECT_EQ(RunBinary("lsl", kB, 0x01, 8).flags, 2);
  EXPECT_EQ(RunBinary("lsl", kB, 0x01, 7).flags, 4);
  EXPECT_EQ(RunBinary("lsr", kL, 3, 0).flags, 1);
}

TEST(Division, SignedTruncatesTowardZeroAndRemainderTakesTheDividendsSign) {
  EXPECT_EQ(RunBinary("divs", kL, static_cast<uint32_t>(-7), 2).value, static_cast<uint32_t>(-3));
  EXPECT_EQ(RunBinary("rems", kL, static_cast<uint32_t>(-7), 2).value, static_cast<uint32_t>(-1));
  EXPECT_EQ(RunBinary("rems", kL, 7, static_cast<uint32_t>(-2)).value, 1u);
  EXPECT_EQ(RunBinary("divs", kB, 0xF9, 2).value & 0xFF, 0xFDu);  // -7 / 2 = -3
  EXPECT_EQ(RunBinary("divu", kB, 0xF9, 2).value & 0xFF, 0x7Cu);  // 249 / 2
  EXPECT_EQ(RunBinary("remu", kL, 0xFFFFFFFF, 10).value, 5u);
  EXPECT_EQ(RunBinary("divu", kQ, ~0ull, 2).value, 0x7FFFFFFFFFFFFFFFu);
}

TEST(Division, MostNegativeByMinusOneWrapsToTheDividendAtEverySize) {
  EXPECT_EQ(RunBinary("divs", kB, 0x80, 0xFF).value, 0x80u);
  EXPECT_EQ(RunBinary("divs", kW, 0x8000, 0xFFFF).value, 0x8000u);
  EXPECT_EQ(RunBinary("divs", kL, 0x80000000, 0xFFFFFFFF).value, 0x80000000u);
  EXPECT_EQ(RunBinary("divs", kQ, 0x8000000000000000, ~0ull).value, 0x8000000000000000u);
  EXPECT_EQ(RunBinary("rems", kB, 0x80, 0xFF).value, 0u);
  EXPECT_EQ(RunBinary("rems", kQ, 0x8000000000000000, ~0ull).value, 0u);
  EXPECT_EQ(RunBinary("divs", kL, 9, 0xFFFFFFFF).value, static_cast<uint32_t>(-9));
}

TEST(Division, ByZeroStopsTheProgram) {
  for (auto op : {"divs", "rems", "divu", "remu"}) {
    for (uint32_t size : {kB, kW, kL, kQ}) {
      // Only the low bytes of the divisor count: 0x100 is zero as a BYTE.
      OpResult r = RunBinary(op, size, 7, size == kB ? 0x100 : 0);
      EXPECT_EQ(r.stop, StopKind::kDivideByZero) << op << size;
      EXPECT_EQ(r.value, 7u);
    }
  }
}

}  // namespace
}  // namespace orva::test
