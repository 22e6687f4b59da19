// qxdis on whole images: which words are shown as code, labels, data forms, header notes, and
// refusal of files that are not images.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asm_helpers.h"
#include "image_disasm.h"

namespace orva::test {
namespace {

std::string Dis(const std::vector<uint8_t>& image, qxdis::Options options = {}) {
  std::string out, error;
  EXPECT_TRUE(qxdis::DisassembleImage(image, options, out, error)) << error;
  return out;
}

std::vector<uint8_t> Image(const std::string& source) {
  qxasm::Result r = Asm(source);
  EXPECT_TRUE(r.ok) << r.errors;
  return r.image;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Qxdis, FollowsControlFlowAndNamesTargets) {
  const std::vector<uint8_t> image = Image(R"(
main:   enter 0, 0
        tbeq.l [fp+12], .skip
        jsr helper, 0
        mov.l r1, [counter]
.skip:  ret 0
        .ascii "text between routines\0\0\0"
helper: enter 0, 0          ; reached by jsr
        ret 0
        .long 0, 0, 0, 0
lonely: enter 1, 0          ; reached by nothing: found by its frame set-up
        ret 1
        .bss
counter: .space 4
  )");
  const std::string out = Dis(image);
  EXPECT_TRUE(Has(out, "        tbeq.l [fp+12], L_0000021C")) << out;
  EXPECT_TRUE(Has(out, "        jsr L_00000238, 0")) << out;
  EXPECT_TRUE(Has(out, "        mov.l r1, [D_00000258]")) << out;
  EXPECT_TRUE(Has(out, "L_0000021C:\n        ret 0")) << out;
  EXPECT_TRUE(Has(out, "        .ascii \"text between routines\\0\\0\\0\"")) << out;
  EXPECT_TRUE(Has(out, "L_00000238:\n        enter 0, 0")) << out;
  EXPECT_TRUE(Has(out, "        .space 16")) << out;
  EXPECT_TRUE(Has(out, "        enter 1, 0")) << out;
  EXPECT_TRUE(Has(out, "        .bss\nD_00000258:\n        .space 4")) << out;
  EXPECT_TRUE(Has(out, "; 0x00000200  00000154")) << out;  // address and words
}

TEST(Qxdis, WordsTheAssemblerWouldNotWriteStayDataWithTheirMeaning) {
  // An alternative no-operation: shown as data with its meaning; the machine steps over it, and
  // so does the search for code.
  std::string out = Dis(Image("nop\n.long 1023\nret 0\n.long 0x00007E0D"));
  EXPECT_TRUE(Has(out, "        .long 0x000003FF ")) << out;
  EXPECT_TRUE(Has(out, "; 0x00000204  nop (no-operation opcode 1023, word 0x3FF)\n")) << out;
  EXPECT_TRUE(Has(out, "        ret 0 ")) << out;
  EXPECT_TRUE(Has(out, "        .long 0x00007E0D ")) << out;  // after the return: data

  // An illegal opcode stops the machine: what follows is not claimed as code.
  out = Dis(Image("nop\n.long 148\nret 0"));
  EXPECT_TRUE(Has(out, "; 0x00000204  illegal opcode 148\n")) << out;
  EXPECT_TRUE(Has(out, "        .long 0x00000254 ")) << out;

  // Every word of an odd instruction stays together: push.w from x1 with its second opcode.
  out = Dis(Image("nop\n.long 372, 5\nhalt"));
  EXPECT_TRUE(Has(out, ".long 0x00000174, 0x00000005 ")) << out;
  EXPECT_TRUE(Has(out, "push.w #!5 (alternative opcode)")) << out;
  EXPECT_TRUE(Has(out, "        halt ")) << out;

  // An instruction cut off by the end of the image.
  const std::string cut = Dis(Image("nop\n.long 0x00080054"));
  EXPECT_TRUE(Has(cut, "truncated instruction (2 words)")) << cut;
}

TEST(Qxdis, HeaderDirectivesAndNotes) {
  std::vector<uint8_t> image =
      Image(".stack 4096\n.heap 8192\n.version 5, 2\nhalt\n.bss\n.space 9");
  std::string out = Dis(image);
  EXPECT_TRUE(Has(out, "        .version 5, 2\n        .stack 0x1000\n        .heap 0x2000\n"))
      << out;
  EXPECT_TRUE(Has(out, "        .bss\n        .space 9")) << out;
  EXPECT_FALSE(Has(out, "not reproduced")) << out;
  EXPECT_FALSE(Has(out, "4 GiB")) << out;

  image[300] = 1;         // a header byte the assembler never writes
  image.push_back(0xEE);  // a byte after LOADSIZE
  out = Dis(image);
  EXPECT_TRUE(Has(out, "; 1 header bytes outside the fields below are not zero (not reproduced)"))
      << out;
  EXPECT_TRUE(Has(out, "; 1 bytes after LOADSIZE are not loaded (not shown)")) << out;

  vm::St32(&image[vm::kOffHEAPSIZE], 0xFFFFFFF0);
  EXPECT_TRUE(Has(Dis(image), "; these sizes together pass 4 GiB: no loader takes this image"));

  image.resize(514);  // LOADSIZE now lies beyond the end of the file
  out = Dis(image);
  EXPECT_TRUE(Has(out, "; the file ends at 0x202, before LOADSIZE")) << out;
  EXPECT_TRUE(Has(out, "        .byte 0x14, 0x02")) << out;
}

TEST(Qxdis, FromAndToLimitTheLinesPrinted) {
  const std::vector<uint8_t> image = Image("nop\ndbg\nsys\nhalt");
  qxdis::Options o;
  o.from = 0x204;
  o.to = 0x20C;
  const std::string out = Dis(image, o);
  EXPECT_FALSE(Has(out, "nop")) << out;
  EXPECT_TRUE(Has(out, "dbg")) << out;
  EXPECT_TRUE(Has(out, "sys")) << out;
  EXPECT_FALSE(Has(out, "halt")) << out;
}

TEST(Qxdis, RefusesFilesThatAreNotImages) {
  std::string out, error;
  EXPECT_FALSE(qxdis::DisassembleImage(std::vector<uint8_t>(100), {}, out, error));
  EXPECT_EQ(error, "shorter than the 512-byte header: not a program image");

  std::vector<uint8_t> image = Image("nop");
  image[212] = '7';
  EXPECT_FALSE(qxdis::DisassembleImage(image, {}, out, error));
  EXPECT_EQ(error, "no \"ORVA6\" magic at offset 208: not a program image");

  image = Image("nop");
  vm::St32(&image[vm::kOffLOADSIZE], 100);
  EXPECT_FALSE(qxdis::DisassembleImage(image, {}, out, error));
  EXPECT_EQ(error, "LOADSIZE 100 is smaller than the header");
}

}  // namespace
}  // namespace orva::test
