// qxdis on whole images: which words are shown as code, labels, data forms, header notes, and
// refusal of files that are not images (one too short for a header through the command line).
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

TEST(Qxdis, FollowsControlFlowAndNamesTargets) {
  ExpectHas(
      Dis(Asm(R"(
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
  )")
              .image),
      {"        tbeq.l [fp+12], L_0000021C", "        jsr L_00000238, 0",
       "        mov.l r1, [D_00000258]", "L_0000021C:\n        ret 0",
       "        .ascii \"text between routines\\0\\0\\0\"", "L_00000238:\n        enter 0, 0",
       "        .space 16", "        enter 1, 0", "        .bss\nD_00000258:\n        .space 4",
       "; 0x00000200  00000154"});  // address and words
}

TEST(Qxdis, WordsTheAssemblerWouldNotWriteStayDataWithTheirMeaning) {
  // An alternative no-operation: shown as data with its meaning; the machine steps over it, and
  // so does the search for code. After the return: data.
  ExpectHas(
      Dis(Asm("nop\n.long 1023\nret 0\n.long 0x00007E0D").image),
      {"        .long 0x000003FF ", "; 0x00000204  nop (no-operation opcode 1023, word 0x3FF)\n",
       "        ret 0 ", "        .long 0x00007E0D "});
  // An illegal opcode stops the machine: what follows is not claimed as code.
  ExpectHas(Dis(Asm("nop\n.long 148\nret 0").image),
            {"; 0x00000204  illegal opcode 148\n", "        .long 0x00000254 "});
  // Every word of an odd instruction stays together: push.w from x1 with its second opcode.
  ExpectHas(Dis(Asm("nop\n.long 372, 5\nhalt").image),
            {".long 0x00000174, 0x00000005 ", "push.w #!5 (alternative opcode)", "        halt "});
  ExpectHas(Dis(Asm("nop\n.long 0x00080054").image), {"truncated instruction (2 words)"});
}

// (Header fields come back as directives: the round trip of random images checks them.)
TEST(Qxdis, NotesWhatItCannotReproduce) {
  std::vector<uint8_t> image = Asm("halt").image;
  image[300] = 1;         // a header byte the assembler never writes
  image.push_back(0xEE);  // a byte after LOADSIZE
  ExpectHas(Dis(image), {"; 1 header bytes outside the fields below are not zero (not reproduced)",
                         "; 1 bytes after LOADSIZE are not loaded (not shown)"});
  vm::St32(&image[vm::kOffHEAPSIZE], 0xFFFFFFF0);
  ExpectHas(Dis(image), {"; these sizes together pass 4 GiB: no loader takes this image"});
  image.resize(514);  // LOADSIZE now lies beyond the end of the file
  ExpectHas(Dis(image), {"; the file ends at 0x202, before LOADSIZE", "        .byte 0x14, 0x02"});
}

TEST(Qxdis, RefusesFilesThatAreNotImages) {
  std::string out, error;
  std::vector<uint8_t> image = Asm("nop").image;
  image[212] = '7';
  EXPECT_FALSE(qxdis::DisassembleImage(image, {}, out, error));
  EXPECT_EQ(error, "no \"ORVA6\" magic at offset 208: not a program image");
  image[212] = '6';
  vm::St32(&image[vm::kOffLOADSIZE], 100);
  EXPECT_FALSE(qxdis::DisassembleImage(image, {}, out, error));
  EXPECT_EQ(error, "LOADSIZE 100 is smaller than the header");
}

}  // namespace
}  // namespace orva::test
