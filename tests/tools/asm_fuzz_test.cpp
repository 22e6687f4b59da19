// Hostile input for the toolchain, for a bounded time (ORVA_FUZZ_SECONDS, default 2 s each)
// from fixed seeds: random and mutated sources never crash or hang the assembler and always give
// an image or errors; random words never crash the decoder, and whatever it calls canonical
// assembles back to the same words; random images disassemble and reassemble.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "asm_helpers.h"
#include "asm_random.h"
#include "image_disasm.h"
#include "vm/disasm.h"

namespace orva::test {
namespace {

class Budget {
 public:
  Budget() {
    double seconds = 2.0;
    if (const char* env = std::getenv("ORVA_FUZZ_SECONDS")) seconds = std::atof(env);
    end_ = std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
               std::chrono::duration<double>(seconds));
  }
  bool Left() const { return std::chrono::steady_clock::now() < end_; }

 private:
  std::chrono::steady_clock::time_point end_;
};

qxasm::Options FuzzOptions() {
  qxasm::Options o = AsmOptions();
  o.max_image_bytes = 1 << 20;
  o.max_lines = 20000;
  o.max_errors = 10;
  return o;
}

void ExpectImageOrErrors(const std::string& source) {
  const qxasm::Result r = Asm(source, FuzzOptions());
  if (r.ok) {
    ASSERT_GE(r.image.size(), vm::kHeaderSize);
    ASSERT_EQ(vm::Ld32(&r.image[vm::kOffLOADSIZE]), r.image.size());
    ASSERT_TRUE(r.errors.empty());
  } else {
    ASSERT_FALSE(r.errors.empty()) << source;
    ASSERT_TRUE(r.image.empty());
  }
}

const char* const kVocabulary[] = {"add.l",
                                   "mov.q",
                                   "fadd.d",
                                   "push.w",
                                   "pop.b",
                                   "tbeq.l",
                                   "bne",
                                   "jmp",
                                   "jsr",
                                   "enter",
                                   "ret",
                                   "sys",
                                   "lea",
                                   "bmov.w",
                                   "cvtfi",
                                   "zext.q",
                                   ".byte",
                                   ".word",
                                   ".long",
                                   ".quad",
                                   ".float",
                                   ".double",
                                   ".ascii",
                                   ".asciz",
                                   ".space",
                                   ".align",
                                   ".code",
                                   ".data",
                                   ".bss",
                                   ".previous",
                                   ".equ",
                                   ".set",
                                   ".macro",
                                   ".endm",
                                   ".rept",
                                   ".endr",
                                   ".if",
                                   ".ifdef",
                                   ".ifb",
                                   ".else",
                                   ".endif",
                                   ".include",
                                   ".error",
                                   ".stack",
                                   ".heap",
                                   ".version",
                                   "m",
                                   "r0",
                                   "r15",
                                   "r19",
                                   "r65535",
                                   "r99999999999",
                                   "fp",
                                   "[",
                                   "]",
                                   "#",
                                   "#!",
                                   ",",
                                   ":",
                                   "=",
                                   "+",
                                   "-",
                                   "*",
                                   "/",
                                   "%",
                                   "<<",
                                   ">>",
                                   "(",
                                   ")",
                                   "~",
                                   "!",
                                   "$",
                                   "0",
                                   "1",
                                   "-1",
                                   "7",
                                   "8",
                                   "0x7FFFFFFF",
                                   "0xFFFFFFFFFFFFFFFF",
                                   "1.5",
                                   "-2e300",
                                   "1e999",
                                   "'A'",
                                   "'\\n'",
                                   "\"str\"",
                                   "\"a\\qb",
                                   "label",
                                   ".local",
                                   "label:",
                                   ".l:",
                                   "\\@",
                                   "\\x",
                                   "\\()",
                                   "\"qx.inc\"",
                                   ";",
                                   "\t",
                                   "@",
                                   "label.local",
                                   "N",
                                   "N = 3",
                                   ".set v, v + 1"};

std::string RandomLine(std::mt19937& rng) {
  std::string line;
  const int n = static_cast<int>(rng() % 8);
  for (int i = 0; i < n; ++i) {
    line += kVocabulary[rng() % std::size(kVocabulary)];
    line += rng() % 3 ? " " : "";
  }
  return line;
}

TEST(AsmFuzz, RandomSourcesGiveAnImageOrErrors) {
  Budget budget;
  std::mt19937 rng(12345);
  // A few macros and blocks up front, so that random lines can expand them.
  const std::string prelude =
      ".macro m a=1, b\n .long \\a\n \\b\n.endm\n.macro deep\n deep\n.endm\nN = 3\n";
  while (budget.Left()) {
    std::string source = rng() % 2 ? prelude : std::string();
    const int lines = static_cast<int>(rng() % 30);
    for (int i = 0; i < lines; ++i) source += RandomLine(rng) + "\n";
    ExpectImageOrErrors(source);
    if (HasFatalFailure()) return;
  }
}

TEST(AsmFuzz, MutatedProgramsGiveAnImageOrErrors) {
  Budget budget;
  std::mt19937 rng(777);
  std::vector<std::string> corpus = {
      ".include \"qx.inc\"\nmain: enter 0, 0\n cmp.l [fp+MSG_CODE], #MSG_STARTUP\n bne .x\n"
      " syscall FILE_OPEN, name, MODE_READ\n call main, r1, #2\n.x: ret 0\n.data\nname: .asciz "
      "\"a.txt\"\n.bss\nbuf: .space 64\n",
      ".macro pair a, b\n.long \\a, \\b\n.endm\n.rept 3\npair 1, 2\n.endr\n.if 1\n.set v, 2\n"
      ".else\n.error \"no\"\n.endif\nx = (1 << 4) | 'c'\n.align 8\n.quad x * v\n",
  };
  RandomInstructions gen(99);
  std::string random;
  for (int i = 0; i < 40; ++i) random += gen.Next() + "\n";
  corpus.push_back(random);

  while (budget.Left()) {
    std::string s = corpus[rng() % corpus.size()];
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits && !s.empty(); ++e) {
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
    if (HasFatalFailure()) return;
  }
}

TEST(AsmFuzz, RandomWordsDecodeHonestly) {
  Budget budget;
  std::mt19937 rng(4242);
  while (budget.Left()) {
    // A batch of canonical decodes, assembled together and compared word for word.
    std::string source;
    std::vector<uint32_t> expected;
    for (int i = 0; i < 200; ++i) {
      uint32_t w[4];
      for (uint32_t& x : w) x = static_cast<uint32_t>(rng());
      // Bias towards plausible words: clear the high bits now and then.
      if (rng() % 2) w[0] &= (rng() % 2 ? 0x0000FFFF : 0x000F7FFF);
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
  }
}

TEST(AsmFuzz, RandomImagesDisassembleAndReassemble) {
  Budget budget;
  std::mt19937 rng(2024);
  while (budget.Left()) {
    std::vector<uint8_t> image(vm::kHeaderSize + rng() % 600);
    for (size_t i = vm::kHeaderSize; i < image.size(); ++i) image[i] = static_cast<uint8_t>(rng());
    const char magic[6] = {'O', 'R', 'V', 'A', '6', 0};
    std::copy(magic, magic + 6, image.begin() + vm::kOffMagic);
    image[vm::kOffReqMajor] = static_cast<uint8_t>(rng());
    image[vm::kOffReqMinor] = static_cast<uint8_t>(rng());
    const uint32_t load = static_cast<uint32_t>(image.size());
    vm::St32(&image[vm::kOffLOADSIZE], rng() % 8 ? load : static_cast<uint32_t>(rng()));
    vm::St32(&image[vm::kOffZEROSIZE], rng() % 4 ? rng() % 100000 : static_cast<uint32_t>(rng()));
    vm::St32(&image[vm::kOffSTACKSIZE], rng() % 100000);
    vm::St32(&image[vm::kOffHEAPSIZE], rng() % 100000);

    std::string text, error;
    const bool ok = qxdis::DisassembleImage(image, {}, text, error);
    if (!ok) continue;  // LOADSIZE below the header
    const uint64_t total = uint64_t{load} + vm::Ld32(&image[vm::kOffZEROSIZE]) + 200000;
    if (vm::Ld32(&image[vm::kOffLOADSIZE]) != load || total > UINT32_MAX) continue;
    const qxasm::Result r = Asm(text);
    ASSERT_TRUE(r.ok) << r.errors << "\n" << text;
    ASSERT_EQ(r.image, image) << text;
  }
}

}  // namespace
}  // namespace orva::test
