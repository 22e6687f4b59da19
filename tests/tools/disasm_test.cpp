// The one-instruction decoder: which words it refuses to call canonical because the assembler
// would not write them that way. (Canonical texts are checked beside the encodings; odd
// no-operations, illegal, alternative and truncated words, and how control leaves an
// instruction, through qxdis.)
#include "vm/disasm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orva::vm {
namespace {

DecodedInstruction D(std::vector<uint32_t> words) { return Disassemble(words, 0x200); }

TEST(Disasm, RefusesWordsTheAssemblerWouldNotWrite) {
  const struct {
    std::vector<uint32_t> words;
    const char* says;
  } cases[] = {
      {{4}, "illegal opcode 4"},
      {{0x0002343C | 1u << 20}, "unused bits set"},  // form 28 uses only bits 16-19 up top
      {{0x1C | 24u << 11}, "illegal operation"},     // operation 24
      {{0xD4 | 30u << 8}, "illegal operation"},      // unary code 30
      {{0x000F7E3E}, "negative short immediate in a 64-bit operation"},
      {{116, 0x10005}, "unused bits set"},      // push16 x1 with high bits
      {{0x114 | 1u << 10}, "unused bits set"},  // sys with operand bits
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

}  // namespace
}  // namespace orva::vm
