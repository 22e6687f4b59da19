// The one-instruction decoder: which words it refuses to call canonical because the assembler
// would not write them that way, and how control leaves each instruction. (What it prints for
// canonical words is checked beside the encodings.)
#include "vm/disasm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orva::vm {
namespace {

DecodedInstruction D(std::vector<uint32_t> words, const AddressNamer& namer = {}) {
  return Disassemble(words, 0x200, namer);
}

TEST(Disasm, RefusesWordsTheAssemblerWouldNotWrite) {
  const struct {
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
  for (const auto& c : cases) {
    const DecodedInstruction d = D(c.words);
    EXPECT_FALSE(d.canonical) << d.text;
    EXPECT_NE(d.text.find(c.says), std::string::npos) << d.text;
    EXPECT_GE(d.words, 1u);
    EXPECT_LE(d.words, c.words.size());
  }
  EXPECT_EQ(Disassemble({}, 0x200).words, 0u);  // nothing given, nothing consumed
}

TEST(Disasm, ReportsFlowTargetsAndNamesAddresses) {
  const AddressNamer namer = [](uint32_t a) { return a == 0x1000 ? "loop" : std::string(); };
  DecodedInstruction d = D({0x00100040, 3}, namer);
  EXPECT_EQ(d.text, "tbeq.l r3, loop");
  EXPECT_EQ(d.flow, Flow::kBranch);
  EXPECT_EQ(d.target, 0x1000u);

  d = D({0x00080054, 0x2000}, namer);
  EXPECT_EQ(d.flow, Flow::kCall);
  EXPECT_EQ(d.target, 0x2000u);

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

}  // namespace
}  // namespace orva::vm
