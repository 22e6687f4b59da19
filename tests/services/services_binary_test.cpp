// The profile and file services through the real `orva --headless`: what one run saves, the
// next run reads.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "support/asm_vm.h"
#include "support/temp_dir.h"

namespace orva::test {
namespace {

// Counts its runs in the profile "GAME.INI", logs "run N" to debug.log, keeps a base64 copy of
// the count's bytes in "COUNT.B64", and halts.
constexpr std::string_view kCounterSource = R"(
        .include "qx.inc"
        .stack 4096
        .heap 4096
        .version 6, 0
        .bss
count:  .space 4
line:   .space 64
text:   .space 16
        .data
file:   .asciz "GAME.INI"
section: .asciz "Counter"
key:    .asciz "Runs"
fmt:    .asciz "run %u\n"
number: .asciz "%u"
b64:    .asciz "COUNT.B64"
        .code
main:   enter 0, 0
        cmp.l [fp+MSG_CODE], #MSG_STARTUP
        bne done
        syscall PROF_LOAD, #file
        syscall PROF_FIND_SECTION, #section
        syscall PROF_FIND_KEY, #key
        syscall PROF_READ_NUMBER, #count
        add.l [count], #1
        syscall PROF_ADD_SECTION, #section
        syscall SYS_PRTFMT, #text, #number, #PRTFMT_LONG, [count]
        syscall PROF_SET, #key, #text
        syscall PROF_SAVE, #file
        syscall SYS_PRTFMT, #line, #fmt, #PRTFMT_LONG, [count]
        debug line
        syscall FILE_OPEN, #b64, #MODE_CREATE
        mov.l r1, r14
        syscall FILE_WRITE_BASE64, r1, #count, #4
        syscall FILE_CLOSE, r1
        halt
done:   ret 0
)";

int RunOrva(const TempDir& dir, const std::string& game, const std::string& data) {
  std::string command = std::string(ORVA_BINARY_DIR "/orva --headless --data-dir ") + data + " " +
                        game + " >" + dir.path() + "/out 2>" + dir.path() + "/err";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ServicesBinary, SettingsSavedByOneRunAreReadByTheNext) {
  TempDir dir;
  std::string game = dir.Sub("game"), data = dir.path() + "/data";
  WriteBytes(game + "/MAIN.QX", Assemble(kCounterSource));

  for (int run = 1; run <= 3; ++run)
    ASSERT_EQ(RunOrva(dir, game, data), 0) << ReadText(dir.path() + "/err");

  EXPECT_EQ(ReadText(data + "/debug.log"), "run 1\nrun 2\nrun 3\n");
  EXPECT_EQ(ReadText(data + "/GAME.INI"), "[0x8190648F=Counter]\nRuns=3\n");
  EXPECT_EQ(ReadText(data + "/COUNT.B64"), "AwAAAA==");  // 3 as four little-endian bytes
}

}  // namespace
}  // namespace orva::test
