// The assembler emits exactly the words of the instruction encoding, and the decoder prints them
// back. Expected words are worked out by hand from the field layout, not taken from the tools;
// instructions the conformance programs run (calls, pushes, floating literals) are left to them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "asm_helpers.h"
#include "vm/disasm.h"

namespace orva::test {
namespace {

struct Case {
  const char* source;
  std::vector<uint32_t> words;
  const char* text = nullptr;  // the decoder's text when it differs from `source`
};

// Each source assembles to its words; a single instruction also decodes to its canonical text.
void ExpectEncodings(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(Words(c.source), c.words) << c.source;
    if (std::string_view(c.source).find_first_of(":\n") != std::string_view::npos) continue;
    const vm::DecodedInstruction d = vm::Disassemble(c.words, vm::kEntryPoint);
    EXPECT_EQ(d.text, c.text ? c.text : c.source);
    EXPECT_TRUE(d.canonical) << c.source;
    EXPECT_EQ(d.words, c.words.size()) << c.source;
  }
}

TEST(Encoding, EveryTwoOperandForm) {
  ExpectEncodings({{"mov.l [r3+16], #5", {0x00057C61, 16}},              // 1
                   {"add.w [r2-4], r7", {0x00073242, 0xFFFFFFFC}},       // 2
                   {"mov.l [0x1000], [fp+8]", {0x00087C03, 0x1000}},     // 3
                   {"mov.l [0x1000], [r4+8]", {0x00007C85, 0x1000, 8}},  // 5
                   {"mov.l [r4+8], [0x1000]", {0x00007C86, 8, 0x1000}},  // 6
                   {"mov.l [fp-4], #1000", {0xFFFC7C07, 1000}},          // 7
                   {"mov.l [r1], [fp+12]", {0x000C7C29, 0}},             // 9
                   {"add.l [r1+4], [r2+8]", {0x0002342A, 4, 8}},         // 10
                   {"mov.l [fp+16], [r5+1]", {0x00107CAB, 1}},           // 11
                   {"mov.l [0x1000], #100", {0x00007C0D, 0x1000, 100}},  // 13
                   {"mov.l [r3+16], #100", {0x00007C6E, 16, 100}},       // 14
                   {"mov.l [fp-8], [fp+70000]", {0xFFF87C0F, 70000}, "mov.l [fp-8], [fp+0x11170]"},
                   {"mov.b r0, [fp-8]", {0xFFF87811}},                      // 17
                   {"mov.l r3, [r4+12]", {0x00047C72, 12}},                 // 18
                   {"mov.l [fp-4], r2", {0xFFFC7C53}},                      // 19
                   {"mov.l [0x100], [0x104]", {0x00007C15, 0x100, 0x104}},  // 21
                   {"mov.l r1, #1000", {0x00007C36, 1000}},                 // 22
                   {"mov.l [fp+4], #-2", {0x00047DD7}},                     // 23
                   {"mov.l [0x200], r9", {0x00007D39, 0x200}},              // 25
                   {"mov.l r9, [0x200]", {0x00007D3A, 0x200}},              // 26
                   {"mov.l [fp+4], [0x200]", {0x00047C1B, 0x200}},          // 27
                   {"add.l r1, r2", {0x0002343C}},                          // 28
                   {"mov.l [0x200], #7", {0x00007CFD, 0x200}},              // 29
                   {"sub.l r4, #-1", {0x000F3C9E}},                         // 30
                   {"mov.q [0x300], #0x123456789", {0x00007E0D, 0x300, 0x23456789, 1}},
                   {"lea r1, [fp+8]", {0x0008B431}}});  // size-free operations drop .l
}

TEST(Encoding, ImmediatesTakeTheShortFormOnlyWhereItMeansTheSameValue) {
  // A short -1 would reach a 64-bit operation zero-extended from 32 bits.
  ExpectEncodings({{"mov.l r1, #0xFFFFFFFF", {0x000F7C3E}, "mov.l r1, #-1"},
                   {"mov.q r1, #-1", {0x00007E36, 0xFFFFFFFF, 0xFFFFFFFF}},
                   {"mov.q r1, #0xFFFFFFFF", {0x00007E36, 0xFFFFFFFF, 0}},
                   {"mov.l r1, #8", {0x00007C36, 8}},
                   {"mov.l r1, #!3", {0x00007C36, 3}},  // forced long
                   {"mov.l r1, #1.0", {0x00007C36, 0x3F800000}, "mov.l r1, #0x3F800000"},
                   {"fadd.d r1, #0.0", {0x00008E3E}, "fadd.d r1, #0"},  // bits 0: the short form
                   {"fadd.b r1, r2", {0x0002883C}},  // sizes .b/.w assemble (the machine alerts)
                   {"push.w #-1", {0x03FFFCF4}, "push.w #65535"},
                   {"push.w #!5", {0x74, 5}},
                   {"push.l #0x1FFFFF", {0x7FFFFEF4}},
                   {"push.l #0x200000", {0x274, 0x200000}},
                   {"push.l 12", {12u << 10 | 756}, "push.l #12"}});  // '#' may be left out
}

TEST(Encoding, UnaryFormsAndControlFlow) {
  ExpectEncodings({{"neg.w [r3+8]", {0x0003056C, 8}},
                   {"not.b [fp-2]", {0xFFFE08AC}},
                   {"tst.q [0x400]", {0x00000FEC, 0x400}},
                   {"pop.l r19", {0x001316D4}},  // form 212 reaches the SP slot
                   {"pusha [fp+8]", {0x00081AAC}},
                   {"tbeq.l r3, 0x1000", {0x00100040, 3}},
                   {"tbne.w [0x300], 0x400", {0x000400A8, 0x300}},
                   {"tbgt.b [r3], 0x400", {0x00040190, 3}},
                   {"tble.q [fp-4], 0x400", {0x00040278, 0xFFFFFFFC}},
                   {"tbod.l r70000, 0x400", {0x000403C0, 70000}},
                   {"blt 0x2000", {0x002002B4}},
                   {"jmp [r3+0x1000]", {0x001000CC}},
                   {"jsr 0x1234", {0x00000054, 0x1234}, "jsr 0x1234, 0"},
                   {"jsr r7, 12", {0x000C7354}},
                   {"enter 15, 0x3FFFF", {0xFFFFFD54}, "enter 15, 262143"},
                   {"ret", {0x254}, "ret 0"},
                   {"dbg\nhalt\nmodal\nemod\nnop", {0x14, 0x214, 0x314, 0x394, 0x1F}},
                   // A forward reference that turns out small still gets the short form.
                   {"mov.l r1, #N\nN = 3", {0x00037C3E}},
                   {"start: jmp done\n nop\ndone: jsr start, 0", {0x0002082C, 0x1F, 0x54, 0x200}},
                   {"loop: tbne.l r1, loop", {0x000200C0, 1}}});
}

TEST(Encoding, DataDirectives) {
  const qxasm::Result r = Asm(R"(
    .byte 1, -1, 'A', "hi"
    .word 0x1234
    .align 4
    .long 0xDEADBEEF, -2
    .quad 0x1122334455667788
    .float 1.5, 2
    .double -0.5
    .ascii "ab", "c"
    .asciz "d"
    .space 3, 0xAA
  )");
  ASSERT_TRUE(r.ok) << r.errors;
  const std::vector<uint8_t> expected = {
      1,    0xFF, 'A',  'h',  'i',  0x34, 0x12, 0,     // .byte .word .align
      0xEF, 0xBE, 0xAD, 0xDE, 0xFE, 0xFF, 0xFF, 0xFF,  // .long
      0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,  // .quad
      0,    0,    0xC0, 0x3F, 0,    0,    0,    0x40,  // .float 1.5, 2.0
      0,    0,    0,    0,    0,    0,    0xE0, 0xBF,  // .double -0.5
      'a',  'b',  'c',  'd',  0,    0xAA, 0xAA, 0xAA,  // .ascii .asciz .space
  };
  EXPECT_EQ(std::vector<uint8_t>(r.image.begin() + 512, r.image.end()), expected);
}

}  // namespace
}  // namespace orva::test
