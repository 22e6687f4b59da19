// The language around the instructions: expressions, symbols, sections and the image layout,
// macros, repetition, conditions and includes.
#include <gtest/gtest.h>

#include <string>

#include "asm_helpers.h"
#include "support/temp_dir.h"

namespace orva::test {
namespace {

TEST(AsmLanguage, ExpressionsFollowCPrecedenceOn64BitValues) {
  EXPECT_EQ(Words(".long 1 + 2 * 3, (1 + 2) * 3, 7 / 2, -7 / 2, -7 % 3, 1 << 4 | 1"),
            (std::vector<uint32_t>{7, 9, 3, 0xFFFFFFFD, 0xFFFFFFFF, 17}));
  EXPECT_EQ(Words(".long 0xF0 & 0x3C ^ 0x0F, ~0, !0, !5, -(-3), 'A' + 1, '\\n', 0b1010_1010"),
            (std::vector<uint32_t>{0x3F, 0xFFFFFFFF, 1, 0, 3, 'B', 10, 0xAA}));
  EXPECT_EQ(Words(".long 2 < 3, 3 <= 2, -1 < 0, 5 == 5, 5 != 5, 1 && 0, 1 || 0, -16 >> 2"),
            (std::vector<uint32_t>{1, 0, 1, 1, 0, 0, 1, 0xFFFFFFFC}));
  // 64-bit arithmetic: the high half survives in .quad, shifts reach bit 63.
  EXPECT_EQ(Words(".quad (1 << 40) + 5, -1 >> 63"),
            (std::vector<uint32_t>{5, 0x100, 0xFFFFFFFF, 0xFFFFFFFF}));
  // $ is the current address (of each data item); labels are addresses.
  EXPECT_EQ(Words("a: .long $, $ - a, b - a\nb: .long b"),
            (std::vector<uint32_t>{0x200, 4, 12, 0x20C}));
}

TEST(AsmLanguage, ConstantsMayBeUsedBeforeTheirDefinitionVariablesMayNot) {
  EXPECT_EQ(Words(".long SIZE * 2\nSIZE = END - START\nSTART: .long 0, 0\nEND:"),
            (std::vector<uint32_t>{16, 0, 0}));
  EXPECT_EQ(Words(".equ A, 3\n.set v, A\n.long v\n.set v, v + 1\n.long v"),
            (std::vector<uint32_t>{3, 4}));
}

TEST(AsmLanguage, LayoutPutsDataAfterCodeAndZeroFilledDataAtLoadSize) {
  const qxasm::Result r = Asm(R"(
        .data
msg:    .ascii "hi"
        .code
start:  mov.l r1, #msg
        mov.l r2, #buf
        mov.l r3, #end
        .bss
buf:    .space 10
        .align 8
end:
        .data
        .byte 7
  )");
  ASSERT_TRUE(r.ok) << r.errors;
  // Code: three 2-word moves at 0x200..0x217; data 0x218: "hi", 7; LOADSIZE 0x21B.
  EXPECT_EQ(CodeWords(r.image)[1], 0x218u);
  EXPECT_EQ(CodeWords(r.image)[3], 0x21Bu);
  EXPECT_EQ(CodeWords(r.image)[5], 0x228u);  // 0x21B + 10 = 0x225, aligned to 8
  EXPECT_EQ(vm::Ld32(&r.image[vm::kOffLOADSIZE]), 0x21Bu);
  EXPECT_EQ(vm::Ld32(&r.image[vm::kOffZEROSIZE]), 0x228u - 0x21B);
  EXPECT_EQ(std::string(r.image.begin() + 0x218, r.image.end()), "hi\x07");
}

TEST(AsmLanguage, AlignmentInCodePadsWithNoOperations) {
  EXPECT_EQ(Words("nop\n.align 16\nhalt"), (std::vector<uint32_t>{0x1F, 0x1F, 0x1F, 0x1F, 0x214}));
  EXPECT_EQ(Words("nop\n.align 16, 0\nhalt"), (std::vector<uint32_t>{0x1F, 0, 0, 0, 0x214}));
  EXPECT_EQ(Words(".data\n.long 1\n.align 16\n.long 2"), (std::vector<uint32_t>{1, 0, 0, 0, 2}));
}

TEST(AsmLanguage, MacrosSubstituteDefaultsAndJoinNames) {
  EXPECT_EQ(Words(R"(
.macro clear dst, size=l
        mov.\size \dst, #0
.endm
.macro pair name
\name\()_lo: .long 1
\name\()_hi: .long \name\()_lo
.endm
start:  clear r1
        clear r2, q
        pair p
  )"),
            (std::vector<uint32_t>{0x00007C3E, 0x00007E5E,  // mov.l r1 / mov.q r2, #0
                                   1, 0x208}));             // p_lo, p_hi
}

TEST(AsmLanguage, MacroArgumentsSplitOutsideBracketsAndQuotes) {
  EXPECT_EQ(Words(".macro two a, b\n .long \\a\n .ascii \\b\n.endm\n two (1+2)*3, \"x,y\\n\"\n"),
            (std::vector<uint32_t>{9, 0x0A792C78}));
}

TEST(AsmLanguage, RepeatAndConditions) {
  EXPECT_EQ(Words(".set i, 0\n.rept 4\n.long i * i\n.set i, i + 1\n.endr"),
            (std::vector<uint32_t>{0, 1, 4, 9}));
  // Skipped blocks only count their conditionals: nothing inside is read.
  EXPECT_EQ(Words(".if 0\n.if 1\n@@@ garbage\n.else\n.long 9\n.endif\n.else\n.long 5\n.endif"),
            (std::vector<uint32_t>{5}));
}

TEST(AsmLanguage, IncludesSearchTheIncludingFolderThenDashIThenTheStandardFolder) {
  const TempDir dir;
  const std::string sub = dir.Sub("sub"), extra = dir.Sub("extra");
  WriteText(sub + "/inner.inc", "INNER = 1\n.include \"sibling.inc\"\n");
  WriteText(sub + "/sibling.inc", "SIBLING = 2\n");
  WriteText(extra + "/lib.inc", "LIB = 3\n");
  WriteText(extra + "/sibling.inc", "WRONG = 1\n");
  qxasm::Options o = AsmOptions();
  o.include_dirs = {extra};
  const qxasm::Result r = qxasm::AssembleText(
      ".include \"sub/inner.inc\"\n.include \"lib.inc\"\n.include \"qx.inc\"\n"
      ".long INNER, SIBLING, LIB, MSGRESULT\n.ifdef WRONG\n.error \"wrong file\"\n.endif\n",
      dir.path() + "/main.qxs", o);
  ASSERT_TRUE(r.ok) << r.errors;
  EXPECT_EQ(CodeWords(r.image), (std::vector<uint32_t>{1, 2, 3, 193}));
}

TEST(AsmLanguage, CommandLineDefinesCannotBeRedefined) {
  qxasm::Options o = AsmOptions();
  o.defines = {{"LEVEL", 3}};
  ExpectHas(Asm("LEVEL = 1", o).errors, {"already defined (defined on the command line)"});
}

}  // namespace
}  // namespace orva::test
