// Operand resolution: every two-operand form reaches exactly the operands its encoding names,
// reads the right number of extension words, and touches nothing else.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/encode.h"
#include "support/test_vm.h"
#include "vm/image.h"

namespace orva::test {
namespace {

using vm::kOffIMMSLOT;
using vm::StopKind;

constexpr uint32_t kFp = 6000;
constexpr uint32_t kBase3 = 7000;  // R3, the r1 base register
constexpr uint32_t kBase5 = 7200;  // R5, the r2 base register

uint32_t Pattern(uint32_t address) { return address ^ 0xA5A50000u; }

struct FormCase {
  uint32_t form;
  uint32_t r1;                // or the short immediate of forms 23 and 29
  uint32_t hi;                // bits 16-31
  std::vector<uint32_t> ext;  // extension words
  uint32_t dst;               // destination address (a register slot for register forms)
  uint32_t value;             // what a LONG move leaves there
};

std::vector<FormCase> Cases() {
  const uint32_t r6 = vm::RegOffset(6);
  return {
      {1, 3, Short(-3), {16}, kBase3 + 16, 0xFFFFFFFD},
      {2, 3, 5, {20}, kBase3 + 20, kBase5},
      {3, 0, D16(-8), {7100}, 7100, Pattern(kFp - 8)},
      {5, 3, 0, {7104, 40}, 7104, Pattern(kBase3 + 40)},
      {6, 3, 0, {44, 7300}, kBase3 + 44, Pattern(7300)},
      {7, 0, D16(-16), {0x12345678}, kFp - 16, 0x12345678},
      {9, 3, D16(-24), {48}, kBase3 + 48, Pattern(kFp - 24)},
      {10, 3, 5, {52, 8}, kBase3 + 52, Pattern(kBase5 + 8)},
      {11, 3, D16(-32), {56}, kFp - 32, Pattern(kBase3 + 56)},
      {13, 0, 0, {7108, 0xCAFEBABE}, 7108, 0xCAFEBABE},
      {14, 3, 0, {60, 0xDEADBEEF}, kBase3 + 60, 0xDEADBEEF},
      {15, 0, D16(-40), {64}, kFp - 40, Pattern(kFp + 64)},
      {17, 6, D16(-48), {}, r6, Pattern(kFp - 48)},
      {18, 6, 5, {12}, r6, Pattern(kBase5 + 12)},
      {19, 3, D16(-56), {}, kFp - 56, kBase3},
      {21, 0, 0, {7112, 7304}, 7112, Pattern(7304)},
      {22, 6, 0, {0x0BADF00D}, r6, 0x0BADF00D},
      {23, Short(5), D16(-64), {}, kFp - 64, 5},
      {25, 3, 0, {7116}, 7116, kBase3},
      {26, 6, 0, {7308}, r6, Pattern(7308)},
      {27, 0, D16(-72), {7312}, kFp - 72, Pattern(7312)},
      {28, 6, 5, {}, r6, kBase5},
      {29, Short(7), 0, {7120}, 7120, 7},
      {30, 6, Short(-1), {}, r6, 0xFFFFFFFF},
  };
}

TEST(Addressing, EveryFormMovesBetweenTheOperandsItNames) {
  std::vector<FormCase> cases = Cases();
  ASSERT_EQ(cases.size(), 24u);
  for (const FormCase& c : cases) {
    SCOPED_TRACE("form " + std::to_string(c.form));
    TestVm t;
    for (uint32_t a = 5800; a < 7400; a += 4) t.SetU32(a, Pattern(a));
    t.host.mem.SetFP(kFp);
    t.SetR(3, kBase3);
    t.SetR(5, kBase5);
    t.SetR(6, 0x6666666666666666);
    t.Emit({TwoOp(c.form, "mov", kL, c.r1, c.hi)});
    for (uint32_t x : c.ext) t.Emit({x});
    uint32_t halt = t.Emit({kHalt});

    std::vector<uint8_t> before(t.mem().base, t.mem().base + t.mem().size);
    vm::Stop stop = t.Run();
    ASSERT_EQ(stop.kind, StopKind::kHalt);
    EXPECT_EQ(stop.pc, halt) << "wrong instruction length";
    EXPECT_EQ(t.U32(c.dst), c.value);
    if (c.dst == vm::RegOffset(6)) {
      EXPECT_EQ(t.U32(c.dst + 4), 0x66666666u) << "upper half kept";
    }

    // Nothing else changed but the destination, IMMSLOT and the PC field.
    for (uint32_t a = 0; a < t.mem().size; ++a) {
      bool expected_change = (a >= c.dst && a < c.dst + 4) ||
                             (a >= kOffIMMSLOT && a < kOffIMMSLOT + 8) ||
                             (a >= vm::kOffPC && a < vm::kOffPC + 4);
      if (!expected_change) {
        ASSERT_EQ(t.mem().base[a], before[a]) << "byte " << a;
      }
    }
  }
}

// Immediates go through IMMSLOT, so lea of one sees 256. QUAD immediates take two words; short
// ones get a zero upper half.
TEST(Addressing, Immediates) {
  TestVm t;
  uint32_t first = t.Emit({TwoOp(22, "lea", kL, 4), 9});
  t.Emit({TwoOp(13, "mov", kQ), 7000, 0x89ABCDEF, 0x01234567});
  t.Emit({TwoOp(22, "mov", kQ, 1), 0x00000001, 0x80000000});
  t.Emit({TwoOp(30, "mov", kQ, 2, Short(-1)), TwoOp(30, "mov", kQ, 3, Short(7))});
  t.Emit({TwoOp(23, "mov", kQ, Short(-2), D16(8))});
  t.host.mem.SetFP(6000);
  uint32_t halt = t.Emit({kHalt});
  EXPECT_EQ(halt, first + 4 * (2 + 4 + 3 + 2 + 1));
  ASSERT_EQ(t.Run().pc, halt);
  EXPECT_EQ(t.R(4), 256u);
  EXPECT_EQ(t.U64(7000), 0x0123456789ABCDEFu);
  EXPECT_EQ(t.R(1), 0x8000000000000001u);
  EXPECT_EQ(t.R(2), 0x00000000FFFFFFFFu);  // a short -1 supplies 4294967295
  EXPECT_EQ(t.R(3), 7u);
  EXPECT_EQ(t.U64(6008), 0x00000000FFFFFFFEu);
}

TEST(Addressing, BaseRegistersUseTheirLow32BitsAndSumsWrap) {
  TestVm t;
  t.SetR(1, 0xFFFFFFFF00001000);  // upper half ignored
  t.SetR(2, 0xFFFFFFFF);          // -1 + 0x1005 wraps to 0x1004
  t.SetU32(0x1004, 0x55);
  t.Emit({TwoOp(18, "mov", kL, 3, 1), 8, TwoOp(18, "mov", kL, 4, 2), 0x1005, kHalt});
  t.SetU32(0x1008, 0x44);
  t.Run();
  EXPECT_EQ(t.R(3), 0x44u);
  EXPECT_EQ(t.R(4), 0x55u);
}

TEST(Addressing, UnaryFormsReachTheirOperands) {
  TestVm t;
  t.host.mem.SetFP(6000);
  t.SetR(2, 7000);
  t.SetU32(7004, 1);
  t.SetU32(6000 - 4, 2);
  t.SetU32(7100, 3);
  t.SetR(9, 4);
  uint32_t neg = UnaryNumber("neg") * 4 + kL;
  t.Emit({Unary(kURegDisp, neg, 2), 4, Unary(kUFp, neg, D16(-4)), Unary(kUAbs, neg), 7100,
          Unary(kUSlot, neg, 9), kHalt});
  t.Run();
  EXPECT_EQ(t.U32(7004), 0xFFFFFFFFu);
  EXPECT_EQ(t.U32(5996), 0xFFFFFFFEu);
  EXPECT_EQ(t.U32(7100), 0xFFFFFFFDu);
  EXPECT_EQ(t.R(9), 0xFFFFFFFCu);
}

}  // namespace
}  // namespace orva::test
