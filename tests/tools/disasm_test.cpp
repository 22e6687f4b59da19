// The one-instruction decoder: the text it prints, and which words it refuses to call canonical
// because the assembler would not write them that way.
#include "vm/disasm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orva::vm {
namespace {

DecodedInstruction D(std::vector<uint32_t> words, const AddressNamer& namer = {}) {
  return Disassemble(words, 0x200, namer);
}

TEST(Disasm, PrintsInAssemblerSyntax) {
  struct Case {
    std::vector<uint32_t> words;
    const char* text;
  } cases[] = {
      {{0x0002343C}, "add.l r1, r2"},
      {{0x000F3C9E}, "sub.l r4, #-1"},
      {{0xFFF87811}, "mov.b r0, [fp-8]"},
      {{0x000512D4}, "push.l r5"},
      {{0x00040954}, "enter 2, 16"},
      {{0x00000A54}, "ret 2"},
      {{0x00100040, 3}, "tbeq.l r3, 0x1000"},
      {{0x002002B4}, "blt 0x2000"},
      {{0x00000114}, "sys"},
      {{0x00007E0D, 0x300, 0x23456789, 1}, "mov.q [0x300], #0x123456789"},
      {{0x00007C36, 3}, "mov.l r1, #!3"},  // long form of a short value
      {{0x00007E36, 0xFFFFFFFF, 0xFFFFFFFF}, "mov.q r1, #-1"},
      {{0x00008C36, 0x3FC00000}, "fadd.f r1, #1.5"},  // floating operations show the value
      {{0x00009E56, 0, 0xC0000000}, "fmul.d r2, #-2.0"},
      {{0x00081AAC}, "pusha [fp+8]"},  // size-free operations drop .l
      {{0x0008B431}, "lea r1, [fp+8]"},
  };
  for (const Case& c : cases) {
    const DecodedInstruction d = D(c.words);
    EXPECT_EQ(d.text, c.text);
    EXPECT_TRUE(d.canonical) << c.text;
    EXPECT_EQ(d.words, c.words.size()) << c.text;
  }
}

TEST(Disasm, RefusesWordsTheAssemblerWouldNotWrite) {
  struct Case {
    std::vector<uint32_t> words;
    const char* says;
  } cases[] = {
      {{1023}, "no-operation opcode 1023"},
      {{300}, "no-operation opcode 300"},
      {{148}, "illegal opcode 148"},
      {{4}, "illegal opcode 4"},
      {{0x0002343C | 1u << 20}, "unused bits set"},  // form 28 uses only bits 16-19 up top
      {{0x1C | 24u << 11}, "illegal operation"},     // operation 24
      {{0xD4 | 30u << 8}, "illegal operation"},      // unary code 30
      {{0x000F7E3E}, "negative short immediate in a 64-bit operation"},
      {{372, 5}, "alternative opcode"},         // push16 from x1, second opcode
      {{116, 0x10005}, "unused bits set"},      // push16 x1 with high bits
      {{0x114 | 1u << 10}, "unused bits set"},  // sys with operand bits
      {{0x00007E0D, 0x300, 1}, "truncated instruction (4 words)"},
  };
  for (const Case& c : cases) {
    const DecodedInstruction d = D(c.words);
    EXPECT_FALSE(d.canonical) << d.text;
    EXPECT_NE(d.text.find(c.says), std::string::npos) << d.text;
    EXPECT_GE(d.words, 1u);
    EXPECT_LE(d.words, c.words.size());
  }
}

TEST(Disasm, ReportsFlowTargetsAndNamesAddresses) {
  const AddressNamer namer = [](uint32_t a) {
    return a == 0x1000 ? std::string("loop") : std::string();
  };
  DecodedInstruction d = D({0x00100040, 3}, namer);
  EXPECT_EQ(d.text, "tbeq.l r3, loop");
  EXPECT_EQ(d.flow, Flow::kBranch);
  EXPECT_EQ(d.target, 0x1000u);

  d = D({0x00080054, 0x2000}, namer);
  EXPECT_EQ(d.flow, Flow::kCall);
  EXPECT_EQ(d.target, 0x2000u);
  EXPECT_EQ(d.text, "jsr 0x2000, 8");

  d = D({0x00007C15, 0x1000, 0x104}, namer);  // mov.l [x1], [x2]
  EXPECT_EQ(d.text, "mov.l [loop], [0x104]");
  ASSERT_EQ(d.data_ref_count, 2u);
  EXPECT_EQ(d.data_refs[1], 0x104u);

  EXPECT_EQ(D({0x0008002C}).flow, Flow::kJump);
  EXPECT_EQ(D({0x00000254}).flow, Flow::kStop);
  EXPECT_EQ(D({0x214}).flow, Flow::kStop);
  EXPECT_EQ(D({0x001000CC}).flow, Flow::kStop);  // jmp [r3+0x1000]
  EXPECT_EQ(D({0x000C7354}).flow, Flow::kNext);  // jsr r7: comes back
  EXPECT_EQ(D({148}).flow, Flow::kStop);         // illegal: the machine stops
  EXPECT_EQ(D({1023}).flow, Flow::kNext);        // an odd no-operation is stepped over
}

TEST(Disasm, EmptyInputConsumesNothing) {
  const DecodedInstruction d = Disassemble({}, 0x200);
  EXPECT_FALSE(d.canonical);
  EXPECT_EQ(d.words, 0u);
}

}  // namespace
}  // namespace orva::vm
