// The string, file and profile services as a program sees them: one QX program run through
// `orva --headless` twice, so that what one run saves the next one reads. It reports through
// debug.log and ends on a SYS with an address outside the image.
#include <gtest/gtest.h>

#include "support/asm_vm.h"
#include "support/run_command.h"

namespace orva::test {
namespace {

constexpr std::string_view kProgram = R"(
        .include "qx.inc"
        .bss
count:  .space 4
line:   .space 128
name:   .space 64
        .data
f_long: .asciz "%05d|"
f_quad: .asciz "%llX|"
f_str:  .asciz "[%s]\n"
f_name: .asciz "%s "
f_run:  .asciz "run %u\n"
grows:  .ascii "stra"
        .byte 0xC3, 0x9F
        .asciz "e"
quoted: .asciz "say \"hi\""
ini:    .asciz "GAME.INI"
section: .asciz "Counter"
key:    .asciz "Runs"
copy:   .asciz "SAVES/GAME1.sav"
pattern: .asciz "SAVES/*.SAV"
        .code
main:   enter 0, 0
        cmp.l [fp+MSG_CODE], #MSG_STARTUP
        bne done
        syscall SYS_PRTFMT, #line, #f_long, #PRTFMT_LONG, #42
        syscall SYS_PRTFMT, #line, #f_quad, #PRTFMT_QUAD, #0x89ABCDEF, #0x1234567
        syscall SYS_PRTFMT, #line, #f_str, #PRTFMT_STRING, #grows
        syscall STR_UPPER, #line
        debug line
        syscall PROF_LOAD, #ini
        syscall PROF_FIND_SECTION, #section
        syscall PROF_FIND_KEY, #key
        syscall PROF_READ_NUMBER, #count
        add.l [count], #1
        syscall PROF_ADD_SECTION, #section
        syscall PROF_DELETE_KEY, #key
        syscall PROF_APPEND_NUMBER, #key, [count], #PROF_DECIMAL
        syscall PROF_APPEND_STRING, #key, #quoted
        syscall PROF_SAVE, #ini
        syscall FILE_OPEN, #copy, #MODE_CREATE
        mov.l r1, r14
        syscall FILE_WRITE_BASE64, r1, #count, #4
        syscall FILE_CLOSE, r1
        mov.b [line], #0
        syscall FILE_FIND_FIRST, #pattern, #name, #0, #0
        syscall SYS_PRTFMT, #line, #f_name, #PRTFMT_STRING, #name
        syscall FILE_FIND_NEXT, #name, #0, #0
        syscall SYS_PRTFMT, #line, #f_name, #PRTFMT_STRING, #name
        syscall SYS_PRTFMT, #line, #f_run, #PRTFMT_LONG, [count]
        debug line
        syscall STR_LEN, #0xFFFFFFF0
        debugstr "not reached\n"
done:   ret 0
)";

TEST(ServicesProgram, ThroughOrvaSettingsLastFromRunToRun) {
  TempDir dir;
  const std::string game = dir.Sub("game"), data = dir.path() + "/data";
  WriteBytes(game + "/MAIN.QX", Assemble(kProgram));
  dir.Sub("game/SAVES");  // the user's copy of GAME1 hides the first
  WriteText(game + "/SAVES/GAME1.SAV", "");
  WriteText(game + "/SAVES/GAME2.SAV", "");
  Ran ran;
  std::string log;
  for (int run = 1; run <= 2; ++run) {
    ran = RunCommand(ORVA_BINARY_DIR "/orva --headless --data-dir " + data + " " + game);
    ASSERT_EQ(ran.status, 0) << ran.err;
    log += "00042|123456789ABCDEF|[STRASSE]\nGAME1.sav GAME2.SAV run " + std::to_string(run) + "\n";
  }
  EXPECT_TRUE(ran.err.starts_with("alert: Bad address 0xFFFFFFF0 at 0x"));
  EXPECT_EQ(ReadText(data + "/debug.log"), log);
  // The checksum of "[", ten zero bytes and the rest, worked out by hand.
  EXPECT_EQ(ReadText(data + "/GAME.INI"), "[0x4FA9329A=Counter]\nRuns= 2 \"say \\\"hi\\\"\"\n");
  EXPECT_EQ(ReadText(data + "/SAVES/GAME1.sav"), "AgAAAA==");  // 2 as four little-endian bytes
}

}  // namespace
}  // namespace orva::test
