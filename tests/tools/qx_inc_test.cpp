// The standard include file: its values against the host's tables, its macros' expansions, and
// the example program of docs/assembly.md.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "asm_helpers.h"

namespace orva::test {
namespace {

std::string Inc(const std::string& body) { return ".include \"qx.inc\"\n" + body; }

TEST(QxInc, NamesCarryTheHostsValues) {
  // Names from qx.inc, each with the value the host uses for it.
  std::istringstream table(R"(
      MSGRESULT=193 HDR_SP=160 HDR_MCOUNT=184 MODE_CREATE=33538 MODE_UPDATE=32770
      MSG_STARTUP=1 MSG_CLOSE=3 MSG_WINDOW_SIZE=9 MSG_TIMER=11 MSG_DOWN=12 MSG_KEY_TEXT=14
      MSG_MOUSE_MOVE=15 BUTTON_3=0x8001 WHEEL_HORIZONTAL=0x8004 HELD_CONTROL=8 HELD_OPTION=0x8000
      KEY_A=0x41 KEY_9=0x39 KEY_LEFT=0x25 KEY_DOWN=0x28 KEY_F13=0x2C KEY_F14=0x91
      KEY_PAD_CLEAR=0x90 KEY_QUOTE=0xDE KEY_GRAVE=0xC0 TEXT_CENTRE=0x20000 TEXT_TIMES=0x1000000
      TEXT_CUT_SPACE=0x40000000 TEXT_MEASURE=0x80000000 FILE_FIND_FIRST=0x00B FILE_MOVE=0x00F
      CLOCK_DATE=0x202 SYS_PRTFMT=0x300 MEM_CMP=0x30D STR_LOG=0x30E GFX_BLIT=0x503
      GFX_DRAW_TEXT=0x510 GFX_CREATE_BITMAP=0x513 AUDIO_MUSIC_PLAYING=0x603 MUSIC_AGAIN=0xFFFFFFFE
      WIN_GET_FRAME=0x708 WIN_BUTTON_STATE=0x713 PROF_APPEND_NUMBER=0x80E PROF_NEXT_LINE=0x810
      HEAP_LOCK=0x902 HEAP_GET_ADDRESS=0x904)");
  std::string source = Inc("");
  std::vector<uint32_t> expected;
  for (std::string pair; table >> pair;) {
    const size_t eq = pair.find('=');
    source += ".long " + pair.substr(0, eq) + "\n";
    expected.push_back(static_cast<uint32_t>(std::stoul(pair.substr(eq + 1), nullptr, 0)));
  }
  EXPECT_EQ(Words(source), expected);
}

TEST(QxInc, SyscallFillsTheCallBlockAndTraps) {
  // Code: 3 + 3 + 2 + 2 + 1 words = 0x2C bytes; the call block is the first .bss word, 0x22C.
  constexpr uint32_t cb = 0x22C;
  EXPECT_EQ(Words(Inc("syscall GFX_CREATE_BITMAP, #640, r2")),
            (std::vector<uint32_t>{0x7C0D, cb, 0x513,    // mov.l [cb], #service
                                   0x7C0D, cb + 4, 640,  // mov.l [cb+4], #640
                                   0x7C59, cb + 8,       // mov.l [cb+8], r2
                                   0x7DF6, cb,           // mov.l r15, #cb
                                   0x114}));             // sys
  // Twelve arguments is the most; memory operands and r15 itself work as arguments.
  const qxasm::Result r =
      Asm(Inc("syscall GFX_STRETCH_BLIT, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, [fp+8], r15"));
  EXPECT_TRUE(r.ok) << r.errors;
  EXPECT_FALSE(Asm(Inc("syscall 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13")).ok);
}

TEST(QxInc, FramesAndCalls) {
  EXPECT_EQ(Words(Inc("proc f, 2, 8\n return\n call f, #1, r5")),
            (std::vector<uint32_t>{0x00020954, 0xA54,     // enter 2, 8; ret 2
                                   0x000512D4, 0x6F4,     // push.l r5; push.l #1
                                   0x00080054, 0x200}));  // jsr f, 8
  EXPECT_EQ(Words(Inc("proc g\n return\n call g")),
            (std::vector<uint32_t>{0x154, 0x254, 0x54, 0x200}));
}

TEST(QxInc, ExampleProgramOfTheDocumentationAssembles) {
  std::ifstream in(ORVA_SOURCE_DIR "/docs/assembly.md");
  std::stringstream doc;
  doc << in.rdbuf();
  const std::string text = doc.str();
  const size_t start = text.find("```qxs\n");
  ASSERT_NE(start, std::string::npos);
  const size_t end = text.find("```", start + 7);
  const qxasm::Result r = Asm(text.substr(start + 7, end - start - 7));
  ASSERT_TRUE(r.ok) << r.errors;
  // Hand-assembled: the greeting lands right after the twelve code words, at 0x230.
  EXPECT_EQ(
      CodeWords(r.image),
      (std::vector<uint32_t>{0x154, 0x000C4437, 0x00021CB4, 0x7DF6, 0x230, 0x14, 0x254, 0x000C4477,
                             0x00022CB4, 0x783D, 0xC1, 0x254, 0x6C6C6548, 0x7266206F, 0x51206D6F}));
  EXPECT_EQ(vm::Ld32(&r.image[vm::kOffLOADSIZE]), 0x23Fu);
  EXPECT_EQ(vm::Ld32(&r.image[vm::kOffZEROSIZE]), 1u + 52);  // aligned call block
}

}  // namespace
}  // namespace orva::test
