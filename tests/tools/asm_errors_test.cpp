// Every error qxasm can report: the message, and the line and column it points at.
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

TEST(AsmErrors, Tokens) {
  ExpectErrors({
      {"mov.l r1, #0x", "1:12", "hexadecimal number without digits"},
      {".long 0b2", "1:7", "binary number without digits"},
      {".long 12ab", "1:7", "malformed number"},
      {".quad 99999999999999999999", "1:7", "number does not fit 64 bits"},
      {".float 1e999", "1:8", "floating literal out of range"},
      {".byte '\\q'", "1:9", "unknown escape in character constant"},
      {".byte 'ab'", "1:7", "character constant must hold one character"},
      {".ascii \"a\\qb\"", "1:11", "unknown escape in string"},
      {".ascii \"abc", "1:8", "string without its closing quote mark"},
      {"mov.l r1, @", "1:11", "unexpected character '@'"},
      {"nop \x01", "1:5", "unexpected byte in source"},
  });
}

TEST(AsmErrors, Expressions) {
  ExpectErrors({
      {"x = " + std::string(250, '(') + "1", "1:205", "expression nested too deeply"},
      {"x = 1" + Repeat("+1", 1001), "1:2006", "expression too long"},
      {"x = 1.5", "1:5", "floating literal where an integer expression is needed"},
      {"x = \"s\"", "1:5", "string where an expression is needed"},
      {"x = ", "1:5", "expression expected"},
      {"x = (1", "1:7", "')' expected"},
      {"x = 1 + ]", "1:9", "expression expected, found ']'"},
      {"x = r1 + 1", "1:5", "register name 'r1' in an expression"},
      {"x = 1 / 0", "1:7", "division by zero"},
      {"x = 1 % 0", "1:7", "division by zero"},
      {"x = 1 << 64", "1:7", "shift count outside 0..63"},
      {"jmp nowhere", "1:5", "undefined symbol 'nowhere'"},
      {".long v\n.set v, 1", "1:7", "'v' is used before its .set"},
  });
}

TEST(AsmErrors, StatementsAndDirectives) {
  ExpectErrors({
      {"r1: nop", "1:1", "'r1' is a register name"},
      {"a: nop\na: nop", "2:1", "'a' is already defined (first defined at test.qxs:1)"},
      {"x = 1\nx = 2", "2:1", "'x' is already defined (first defined at test.qxs:1)"},
      {", nop", "1:1", "instruction, directive or label expected"},
      {".code extra", "1:7", "unexpected 'extra' at end of statement"},
      {".version 6", "1:11", "',' expected"},
      {".rept n\n.endr", "1:7",
       "value must be known here: use numbers and constants defined above"},
      {".bss\n.byte 1", "2:1", "initialised data in .bss (only labels, .space and .align)"},
      {".ascii 5", "1:8", "string expected"},
      {".equ 5, 1", "1:6", "symbol name expected"},
      {".stack 1\n.stack 2", "2:1", ".stack given twice"},
      {".foo", "1:1", "unknown directive '.foo'"},
      {".float 1.5 + 1", "1:12", "floating literals take no arithmetic"},
  });
}

TEST(AsmErrors, InstructionsAndOperands) {
  ExpectErrors({
      {"mov.l r1, [fp*4]", "1:14", "'+', '-' or ']' expected after the base register"},
      {"mov.l r1, [r2+4", "1:16", "']' expected"},
      {"mov.l r1 r2", "1:10", "',' or end of line expected after the operand"},
      {"frob r1", "1:1", "unknown instruction 'frob'"},
      {".bss\nnop", "2:1", "instruction in .bss"},
      {"add.x r1, r2", "1:4", "unknown size suffix '.x'"},
      {"jmp.l 0x200", "1:1", "'jmp' takes no size suffix"},
      {"add r1, r2", "1:4", "'add' needs a size suffix (.b .w .l .q)"},
      {"fadd r1, r2", "1:5", "'fadd' needs a size suffix (.f .d, or .b .w)"},
      {"add.f r1, r2", "1:1", "'add' is not a floating operation: use .b .w .l .q"},
      {"fadd.l r1, r2", "1:1", "'fadd' takes .f or .d (or .b .w)"},
      {"add.l r1, r2, r3", "1:15", "too many operands"},
      {"add.l r1,", "1:10", "operand expected after ','"},
      {"add.l r1", "1:1", "'add' takes two operands: destination, source"},
      {"add.l #1, r1", "1:7", "an immediate cannot be a destination"},
      {"add.l r16, r1", "1:7", "only r0-r15 can be used here"},
      {"add.l [r16+4], r1", "1:7", "only r0-r15 can be used here"},
      {"add.w r1, #1.5", "1:11", "a floating literal needs a .l/.q/.f/.d size"},
      {"neg.l #3", "1:7", "'neg' takes no immediate"},
      {"push.b #3", "1:8", "no byte push of an immediate: use push.w"},
      {"push.w #1.5", "1:8", "a floating literal needs push.l or push.q"},
      {"push.l r65536", "1:8", "register slots end at r65535"},
      {"tbeq.l [r4294967296], 0x200", "1:8", "register slots end at r4294967295"},
      {"r99999999999999999999: nop", "1:1", "'r99999999999999999999' is a register name"},
      {"tbeq.l [r1+4], 0x200", "1:8", "test-and-branch takes [rN] without displacement"},
      {"tbeq.l #1, 0x200", "1:8", "test-and-branch tests rN, [rN], [fp+d] or [address]"},
      {"tbeq.l r1, #0x200", "1:12",
       "branch target expected (a plain expression, without '#' or brackets)"},
      {"jmp [0x200]", "1:5",
       "jump target or [rN+table] expected (a plain expression, without '#' or brackets)"},
      {"jsr r1, #8", "1:9",
       "argument byte count expected (a plain expression, without '#' or brackets)"},
      {"jsr r16, 0", "1:5", "only r0-r15 can be used here"},
      {"enter #1", "1:7", "register count expected (a plain expression, without '#' or brackets)"},
      {"ret 1, 2", "1:1", "'ret' takes at most one operand: the number of saved registers"},
      {"sys 1", "1:1", "'sys' takes no operands"},
  });
}

TEST(AsmErrors, ValuesThatDoNotFit) {
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
  });
}

TEST(AsmErrors, Layout) {
  ExpectErrors({
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
      {"x: .macro m\n.endm", "1:1", "a label cannot stand before .macro"},
      {".endm", "1:1", ".endm without .macro"},
      {".endr", "1:1", ".endr without .rept"},
      {".rept 2 3\n.endr", "1:9", "unexpected text after the repeat count"},
      {".rept -1\n.endr", "1:7", "repeat count out of range"},
      {".error \"stop here\"", "1:1", "stop here"},
      {".else", "1:1", ".else without .if"},
      {".endif", "1:1", ".endif without .if"},
      {".if 1\n.else\n.else\n.endif", "3:1", "second .else for one .if"},
      {".if 1 2\n.endif", "1:7", "unexpected text after the condition"},
      {".ifdef 5\n.endif", "1:8", "symbol name expected"},
      {".include foo", "1:10", ".include takes one file name in quotes"},
      {".include \"missing.inc\"", "1:10", "include file 'missing.inc' not found"},
      {".macro 5\n.endm", "1:8", "macro name expected"},
      {".macro add\n.endm", "1:8", "'add' is an instruction or register name"},
      {".macro m, 5\n.endm", "1:11", "parameter name expected"},
      {".macro m\nm\n.endm\nm", "2:1", "macros nested too deeply (a macro that uses itself?)"},
      {".macro m a\n.endm\nm 1, 2", "3:1", "macro 'm' takes 1 arguments, 2 given"},
      {".macro m\n.endm\n.macro m\n.endm", "3:1", "macro 'm' is already defined"},
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
