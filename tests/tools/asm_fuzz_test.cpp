// Hostile input for the toolchain, for a bounded time from fixed seeds: random and mutated
// sources never crash or hang the assembler and always give an image or errors; random words
// never crash the decoder, and whatever it calls canonical assembles back to the same words.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "asm_helpers.h"
#include "support/fuzz.h"
#include "vm/disasm.h"

namespace orva::test {
namespace {

void ExpectImageOrErrors(const std::string& source) {
  qxasm::Options o = AsmOptions();
  o.max_image_bytes = 1 << 20;
  o.max_lines = 20000;
  o.max_errors = 10;
  const qxasm::Result r = Asm(source, o);
  if (r.ok) {
    ASSERT_GE(r.image.size(), vm::kHeaderSize);
    ASSERT_EQ(vm::Ld32(&r.image[vm::kOffLOADSIZE]), r.image.size());
    ASSERT_TRUE(r.errors.empty());
  } else {
    ASSERT_FALSE(r.errors.empty()) << source;
    ASSERT_TRUE(r.image.empty());
  }
}

// Tokens of the language, good and bad, separated by '|'.
const std::vector<std::string> kVocabulary = [] {
  std::vector<std::string> words;
  std::istringstream in(
      "add.l|mov.q|fadd.d|push.w|pop.b|tbeq.l|bne|jmp|jsr|enter|ret|sys|lea|bmov.w|cvtfi|zext.q|"
      ".byte|.word|.long|.quad|.float|.double|.ascii|.asciz|.space|.align|.code|.data|.bss|"
      ".previous|.equ|.set|.macro|.endm|.rept|.endr|.if|.ifdef|.ifb|.else|.endif|.include|"
      ".error|.stack|.heap|.version|m|r0|r15|r19|r65535|r99999999999|fp|[|]|#|#!|,|:|=|+|-|*|"
      "/|%|<<|>>|(|)|~|!|$|0|1|-1|7|8|0x7FFFFFFF|0xFFFFFFFFFFFFFFFF|1.5|-2e300|1e999|'A'|'\\n'|"
      "\"str\"|\"a\\qb|label|.local|label:|.l:|\\@|\\x|\\()|\"qx.inc\"|;|\t|@|label.local|N|"
      "N = 3|.set v, v + 1");
  for (std::string word; std::getline(in, word, '|');) words.push_back(word);
  return words;
}();

std::string RandomLine(std::mt19937_64& rng) {
  std::string line;
  for (int n = static_cast<int>(rng() % 8); n > 0; --n)
    line += kVocabulary[rng() % kVocabulary.size()] + (rng() % 3 ? " " : "");
  return line;
}

// A start (nothing, a few macros, or a real program), half the time with random lines of tokens
// after it, then a few edits of any kind.
TEST(AsmFuzz, RandomAndMutatedSourcesGiveAnImageOrErrors) {
  std::vector<std::string> corpus = {
      "", ".macro m a=1, b\n .long \\a\n \\b\n.endm\n.macro deep\n deep\n.endm\nN = 3\n",
      ".include \"qx.inc\"\nmain: enter 0, 0\n cmp.l [fp+MSG_CODE], #MSG_STARTUP\n bne .x\n"
      " syscall FILE_OPEN, name, MODE_READ\n call main, r1, #2\n.x: ret 0\n.data\nname: .asciz "
      "\"a.txt\"\n.bss\nbuf: .space 64\n",
      ".macro pair a, b\n.long \\a, \\b\n.endm\n.rept 3\npair 1, 2\n.endr\n.if 1\n.set v, 2\n"
      ".else\n.error \"no\"\n.endif\nx = (1 << 4) | 'c'\n.align 8\n.quad x * v\n",
      ""};
  std::mt19937_64 gen(99);
  for (int i = 0; i < 40; ++i) corpus.back() += RandomCanonical(gen).text + "\n";

  FuzzFor(777, [&](std::mt19937_64& rng) {
    std::string s = corpus[rng() % corpus.size()];
    for (int lines = rng() % 2 ? static_cast<int>(rng() % 30) : 0; lines > 0; --lines)
      s += RandomLine(rng) + "\n";
    for (int edits = static_cast<int>(rng() % 6); edits > 0 && !s.empty(); --edits) {
      const size_t at = rng() % s.size();
      switch (rng() % 5) {
        case 0: s[at] = static_cast<char>(rng()); break;
        case 1: s.insert(at, 1, "[]#!,:\\\"'.;(\n0x"[rng() % 16]); break;
        case 2: s.erase(at, rng() % 8); break;
        case 3: s.insert(at, s.substr(rng() % s.size(), rng() % 40)); break;
        default: s.insert(at, RandomLine(rng) + "\n"); break;
      }
    }
    ExpectImageOrErrors(s);
  });
}

TEST(AsmFuzz, RandomWordsDecodeHonestly) {
  FuzzFor(4242, [](std::mt19937_64& rng) {
    // A batch of canonical decodes, assembled together and compared word for word.
    std::string source;
    std::vector<uint32_t> expected;
    for (int i = 0; i < 200; ++i) {
      uint32_t w[4];
      for (uint32_t& x : w) x = static_cast<uint32_t>(rng());
      if (rng() % 2) w[0] &= (rng() % 2 ? 0x0000FFFF : 0x000F7FFF);  // plausible words
      const size_t n = 1 + rng() % 4;
      const vm::DecodedInstruction d = vm::Disassemble(std::span(w, n), 0x200);
      ASSERT_LE(d.words, n);
      ASSERT_FALSE(d.text.empty());
      if (!d.canonical) continue;
      source += d.text + "\n";
      expected.insert(expected.end(), w, w + d.words);
    }
    const qxasm::Result r = Asm(source);
    ASSERT_TRUE(r.ok) << r.errors;
    ASSERT_EQ(CodeWords(r.image), expected) << source;
  });
}

}  // namespace
}  // namespace orva::test
