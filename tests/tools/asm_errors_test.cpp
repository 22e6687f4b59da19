// The errors that keep qxasm from writing an image that says something other than its source:
// values that do not fit, input it could misread, and runaway expansion. Each with the message
// and the line and column it points at; the fuzz tests show that any other bad input gets errors.
#include <gtest/gtest.h>

#include <string>

#include "asm_helpers.h"
#include "support/temp_dir.h"

namespace orva::test {
namespace {

struct Case {
  std::string source;
  std::string where;  // "line:column", or "" for reports that belong to no line
  std::string message;
};

void ExpectError(const Case& c, const qxasm::Options& options = AsmOptions()) {
  const qxasm::Result r = Asm(c.source, options);
  EXPECT_TRUE(!r.ok && r.image.empty()) << c.source;
  const std::string where = c.where.empty() ? "qxasm" : "test.qxs:" + c.where;
  ExpectHas(r.errors, {where + ": " + c.message + "\n"});
}

void ExpectErrors(const std::vector<Case>& cases) {
  for (const Case& c : cases) ExpectError(c);
}

TEST(AsmErrors, InputThatCouldBeMisread) {
  ExpectErrors({
      {".long 12ab", "1:7", "malformed number"},
      {".quad 99999999999999999999", "1:7", "number does not fit 64 bits"},
      {".float 1e999", "1:8", "floating literal out of range"},
      {"x = " + std::string(250, '(') + "1", "1:205", "expression nested too deeply"},
      {"x = 1" + Repeat("+1", 1001), "1:2006", "expression too long"},
      {"x = 1.5", "1:5", "floating literal where an integer expression is needed"},
      {"x = 1 / 0", "1:7", "division by zero"},
      {"x = 1 % 0", "1:7", "division by zero"},
      {"x = 1 << 64", "1:7", "shift count outside 0..63"},
      {"jmp nowhere", "1:5", "undefined symbol 'nowhere'"},
      {".long v\n.set v, 1", "1:7", "'v' is used before its .set"},
      {"a: nop\na: nop", "2:1", "'a' is already defined (first defined at test.qxs:1)"},
      {".rept n\n.endr", "1:7",
       "value must be known here: use numbers and constants defined above"},
      {".bss\n.byte 1", "2:1", "initialised data in .bss (only labels, .space and .align)"},
      {".float 1.5 + 1", "1:12", "floating literals take no arithmetic"},
      {".bss\nnop", "2:1", "instruction in .bss"},
      {"fadd.l r1, r2", "1:1", "'fadd' takes .f or .d (or .b .w)"},
      {"add.l r1, r2, r3", "1:15", "too many operands"},
      {"add.l [r16+4], r1", "1:7", "only r0-r15 can be used here"},
      {"add.w r1, #1.5", "1:11", "a floating literal needs a .l/.q/.f/.d size"},
      {"push.b #3", "1:8", "no byte push of an immediate: use push.w"},
      {"push.l r65536", "1:8", "register slots end at r65535"},
      {"tbeq.l [r4294967296], 0x200", "1:8", "register slots end at r4294967295"},
      {"r99999999999999999999: nop", "1:1", "'r99999999999999999999' is a register name"},
      {"tbeq.l [r1+4], 0x200", "1:8", "test-and-branch takes [rN] without displacement"},
      {"jmp [0x200]", "1:5",
       "jump target or [rN+table] expected (a plain expression, without '#' or brackets)"},
  });
}

TEST(AsmErrors, ValuesAndSizesThatDoNotFit) {
  ExpectErrors({
      {"mov.l r1, [0x100000000]", "1:11", "address does not fit 32 bits"},
      {"mov.l r1, [r2-0x80000001]", "1:11", "displacement does not fit 32 bits"},
      {"mov.l r1, [fp+40000]", "1:11", "frame offset 40000 does not fit 16 bits (-32768..32767)"},
      {"jsr 0x200, 70000", "1:12", "argument byte count 70000 outside 0..65535"},
      {"jmp 0x202", "1:5", "jump target 0x202 is not a multiple of 4 below 0x1000000"},
      {"bne 0x1000000", "1:5", "branch target 0x1000000 is not a multiple of 4 below 0x1000000"},
      {"jmp [r1+6]", "1:5", "table address 0x6 is not a multiple of 4 below 0x1000000"},
      {"mov.l r1, #1e39", "1:11", "floating literal out of FLOAT range"},
      {"mov.l r1, #0x100000000", "1:11", "immediate 4294967296 does not fit 32 bits"},
      {"push.w #70000", "1:8", "16-bit push of 70000 outside -32768..65535"},
      {"enter 16, 0", "1:7", "register count 16 outside 0..15"},
      {"enter 1, 0x40000", "1:10", "byte count of locals 262144 outside 0..262143"},
      {".byte 300", "1:7", "value 300 does not fit 1 byte"},
      {".word -40000", "1:7", "value -40000 does not fit 2 bytes"},
      {".float 1e39", "1:8", "value out of FLOAT range"},
      {".space 70000000", "1:1", "image larger than 67108864 bytes"},
      {".bss\n.space 0xFFFFFFFF", "2:1", "zero-filled data reaches past 4 GiB"},
      {".space -1", "1:1", "byte count -1 out of range"},
      {".align 3", "1:1", "alignment must be a power of two from 1 to 65536"},
      {".space 1, 300", "1:1", "fill value must fit a byte"},
      {".bss\n.space 4, 1", "2:1", "zero-filled data cannot take a fill value"},
      {".byte 1\nnop", "2:1",
       "instruction at an address that is not a multiple of 4 (add .align 4 before it)"},
      {".stack -1", "1:1", "size out of range 0..0xFFFFFFFF"},
      {".version 256, 0", "1:1", "version numbers must lie in 0..255"},
      // Each pass flips the size of the space: no layout is ever stable.
      {"start: .space 4 - (end - start)\nend:", "", "the layout did not settle after 64 passes"},
      {".heap 0xFFFFFFFF", "",
       "the loaded image (code, data, zero-filled data, stack and heap) exceeds 4 GiB"},
  });
}

TEST(AsmErrors, ReadingBlocksAndMacros) {
  ExpectErrors({
      {".macro m", "1:1", ".macro without .endm"},
      {".rept 2", "1:1", ".rept without .endr"},
      {".if 1", "1:1", ".if without .endif"},
      {".rept -1\n.endr", "1:7", "repeat count out of range"},
      {".if 1\n.else\n.else\n.endif", "3:1", "second .else for one .if"},
      {".include \"missing.inc\"", "1:10", "include file 'missing.inc' not found"},
      {".macro m\nm\n.endm\nm", "2:1", "macros nested too deeply (a macro that uses itself?)"},
      {".macro m a\n.endm\nm 1, 2", "3:1", "macro 'm' takes 1 arguments, 2 given"},
  });
}

TEST(AsmErrors, RunawaysStopAtTheirLimits) {
  qxasm::Options o = AsmOptions();
  o.max_lines = 1000;
  ExpectError({".rept 100\n.rept 100\nnop\n.endr\n.endr", "3:1",
               "more than 1000 lines after expansion; is a macro or .rept running away?"},
              o);
  ExpectError({Repeat(".rept 1\n", 70) + "nop\n" + Repeat(".endr\n", 70), "65:1",
               "repeat blocks and macros nested too deeply"});
  const TempDir dir;
  WriteText(dir.path() + "/self.inc", ".include \"self.inc\"\n");
  const qxasm::Result r =
      qxasm::AssembleText(".include \"self.inc\"\n", dir.path() + "/main.qxs", AsmOptions());
  EXPECT_FALSE(r.ok);
  ExpectHas(r.errors, {"self.inc:1:1: includes nested too deeply (an include cycle?)"});
}

TEST(AsmErrors, ReportShowsTheLineACaretAndTheExpansionChain) {
  EXPECT_EQ(Asm(".macro once x\n\tnop\n  \\x\n.endm\n  once @bad\n").errors,
            "test.qxs:3:3: unexpected character '@'\n"
            "  @bad\n"
            "  ^\n"
            "test.qxs:5:3: expanded from here\n"
            "  once @bad\n"
            "  ^\n");
}

TEST(AsmErrors, ManyErrorsInOneRunUpToTheLimit) {
  const std::string three = Asm("frob\nnop\nadd.l #1, r1\n.foo\n").errors;
  ExpectHas(three, {"test.qxs:1:1", "test.qxs:3:7", "test.qxs:4:1"});
  EXPECT_EQ(three.find("test.qxs:4:1"), three.rfind("test.qxs:4:1"));  // each reported once
  const std::string errors = Asm(Repeat("frob\n", 80)).errors;
  ExpectHas(errors, {"test.qxs:50:1", "too many errors; stopping\n"});
  EXPECT_EQ(errors.find("test.qxs:51:1"), std::string::npos);
}

}  // namespace
}  // namespace orva::test
