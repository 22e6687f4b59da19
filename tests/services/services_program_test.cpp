// The string, file and profile services as a program sees them: QX assembly run in-process
// through the interpreter and the SYS dispatcher.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "support/asm_vm.h"
#include "support/temp_dir.h"
#include "vm/messages.h"

namespace orva::test {
namespace {

// Runs `body` as message 1 of a program with the given data; each `keep N` in the body stores
// R14 in results slot N.
std::unique_ptr<AsmVm> RunBody(std::string_view data, std::string_view body,
                               const std::function<void(AsmVm&)>& prepare = {}) {
  std::string source = R"(
        .include "qx.inc"
        .macro keep slot
        mov.l [results + 4 * \slot], r14
        .endm
        .bss
results: .space 4 * 32
out:    .space 256
word:   .space 4
kind:   .space 4
origin: .space 4
        .data
)";
  source += data;
  source += R"(
        .code
main:   enter 0, 0
        cmp.l [fp+MSG_CODE], #MSG_STARTUP
        bne done
)";
  source += body;
  source += "\ndone:   ret 0\n";
  auto vm = std::make_unique<AsmVm>(source);
  if (prepare) prepare(*vm);
  try {
    vm::QXmsg(vm->host, {1, 0, 0, 0});
  } catch (const platform::ProcessExit&) {
  }
  return vm;
}

uint32_t Result(const AsmVm& vm, uint32_t slot) { return vm.U32(vm.Sym("results") + 4 * slot); }
std::string Text(const AsmVm& vm, const char* label) {
  return reinterpret_cast<const char*>(vm.host.mem.base + vm.Sym(label));
}

TEST(ServicesProgram, FormatsCopiesAndUpperCases) {
  auto vm = RunBody(R"(
fmt:    .asciz "[%05d|%-4s|%llx]"
grows:  .ascii "stra"
        .byte 0xC3, 0x9F
        .asciz "e"
)",
                    R"(
        syscall SYS_PRTFMT, #out, #fmt, #PRTFMT_LONG, #42
        keep 0
        syscall STR_COPY, #word, #grows
        syscall STR_UPPER, #word
        syscall STR_LEN, #word
        keep 1
        syscall STR_CMP, #word, #out
        keep 2
        syscall SYS_PRTFMT, #out, #fmt, #3, #42
        keep 3
)");
  EXPECT_EQ(Result(*vm, 0), 0u);  // two conversions: refused
  EXPECT_EQ(Text(*vm, "out"), "");
  EXPECT_EQ(Result(*vm, 1), 7u);
  EXPECT_EQ(Text(*vm, "word"), "STRASSE");  // runs on over "kind", as the program allowed
  EXPECT_EQ(static_cast<int32_t>(Result(*vm, 2)), 'S');
  EXPECT_EQ(Result(*vm, 3), 0u);
  ASSERT_EQ(vm->alerts().size(), 1u);
  EXPECT_EQ(vm->alerts()[0], "SYS_PRTFMT: unsupported arg size");
}

TEST(ServicesProgram, OneValueFormatsOfEachSize) {
  auto vm = RunBody(R"(
f_long: .asciz "%05d|"
f_quad: .asciz "%llX|"
f_str:  .asciz "[%s]"
)",
                    R"(
        syscall SYS_PRTFMT, #out, #f_long, #PRTFMT_LONG, #42
        keep 0
        syscall SYS_PRTFMT, #out, #f_quad, #PRTFMT_QUAD, #0x89ABCDEF, #0x1234567
        keep 1
        syscall SYS_PRTFMT, #out, #f_str, #PRTFMT_STRING, #f_long
        keep 2
)");
  EXPECT_EQ(Text(*vm, "out"), "00042|123456789ABCDEF|[%05d|]");
  EXPECT_EQ(Result(*vm, 0), 6u);
  EXPECT_EQ(Result(*vm, 1), 16u);
  EXPECT_EQ(Result(*vm, 2), 7u);
}

TEST(ServicesProgram, AnAddressOutsideTheImageStopsTheProgramAtTheSys) {
  auto vm = RunBody("", R"(
        syscall STR_LEN, #0xFFFFFFF0
        keep 0
)");
  ASSERT_FALSE(vm->alerts().empty());
  EXPECT_TRUE(vm->alerts()[0].starts_with("Bad address 0xFFFFFFF0 at 0x")) << vm->alerts()[0];
  EXPECT_EQ(Result(*vm, 0), 0u);  // the program never got past the SYS
}

TEST(ServicesProgram, WritesFindsAndReadsBackFiles) {
  auto vm = RunBody(R"(
name:   .asciz "SAVES/GAME1.sav"
pattern: .asciz "SAVES/*.SAV"
bytes:  .ascii "Man"
)",
                    R"(
        syscall FILE_OPEN, #name, #MODE_CREATE
        mov.l r1, r14
        syscall FILE_WRITE_BASE64, r1, #bytes, #2
        keep 0
        syscall FILE_CLOSE, r1
        syscall FILE_FIND_FIRST, #pattern, #out, #kind, #origin
        keep 1
        syscall FILE_FIND_NEXT, #out + 64, #0, #0
        keep 2
        syscall FILE_FIND_NEXT, #out + 64, #0, #0
        keep 3
        syscall FILE_SIZE, #name
        keep 4
)",
                    [](AsmVm& t) {
                      std::filesystem::create_directories(t.host.folders.resource + "SAVES");
                      WriteText(t.host.folders.resource + "SAVES/GAME1.SAV", "hidden");
                      WriteText(t.host.folders.resource + "SAVES/GAME2.SAV", "shown");
                    });
  EXPECT_EQ(ReadText(vm->host.folders.user_data + "SAVES/GAME1.sav"), "TWE=");
  EXPECT_EQ(Result(*vm, 0), 4u);
  EXPECT_EQ(Result(*vm, 1), 0u);
  EXPECT_EQ(Text(*vm, "out"), "GAME1.sav");
  EXPECT_EQ(vm->U32(vm->Sym("kind")), 0u);
  EXPECT_EQ(vm->U32(vm->Sym("origin")), 1u);
  EXPECT_EQ(Result(*vm, 2), 0u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(vm->host.mem.base + vm->Sym("out") + 64)),
            "GAME2.SAV");
  EXPECT_EQ(Result(*vm, 3), 0xFFFFFFFFu);
  EXPECT_EQ(Result(*vm, 4), 4u);
}

TEST(ServicesProgram, KeepsSettingsInTheProfile) {
  auto vm = RunBody(R"(
file:   .asciz "GAME.INI"
section: .asciz "Options"
key:    .asciz "Scores"
)",
                    R"(
        syscall PROF_LOAD, #file
        keep 0
        syscall PROF_ADD_SECTION, #section
        syscall PROF_APPEND_NUMBER, #key, #5, #PROF_DECIMAL
        syscall PROF_APPEND_NUMBER, #key, #255, #PROF_HEX
        syscall PROF_SAVE, #file
        keep 1
        syscall PROF_FREE
        syscall PROF_LOAD, #file
        keep 2
        syscall PROF_FIND_KEY, #key
        keep 3
        syscall PROF_READ_NUMBER, #word
        syscall PROF_READ_NUMBER, #kind
        keep 4
        syscall PROF_AT_END_OF_LINE
        keep 5
)");
  EXPECT_EQ(Result(*vm, 0), 0u);
  EXPECT_EQ(Result(*vm, 1), 1u);
  EXPECT_EQ(Result(*vm, 2), 1u);
  EXPECT_EQ(Result(*vm, 3), 1u);
  EXPECT_EQ(vm->U32(vm->Sym("word")), 5u);
  EXPECT_EQ(vm->U32(vm->Sym("kind")), 255u);
  EXPECT_EQ(Result(*vm, 4), 1u);
  EXPECT_EQ(Result(*vm, 5), 1u);
  std::string saved = ReadText(vm->host.folders.user_data + "GAME.INI");
  EXPECT_EQ(saved.substr(11), "=Options]\nScores= 5 0x000000FF\n");
}

}  // namespace
}  // namespace orva::test
