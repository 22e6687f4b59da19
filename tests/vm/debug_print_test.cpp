// The debug print appends the string at R15 to "debug.log" in the user data folder.
#include <gtest/gtest.h>

#include "support/asm_vm.h"
#include "vm/messages.h"

namespace orva::test {
namespace {

constexpr std::string_view kSource = R"(
        .include "qx.inc"
        .data
first:  .asciz "one "
empty:  .asciz ""
second: .asciz "two\n"
        .code
main:   enter 0, 0
        debug first
        debug empty
        debug second
        ret 0
)";

TEST(DebugPrint, AppendsWithoutAddingALineEnd) {
  AsmVm t(kSource);
  EXPECT_EQ(t.DebugLog(), "<missing>");
  vm::QXmsg(t.host, {1, 0, 0, 0});
  EXPECT_EQ(t.DebugLog(), "one two\n");
  vm::QXmsg(t.host, {1, 0, 0, 0});
  EXPECT_EQ(t.DebugLog(), "one two\none two\n");
  EXPECT_EQ(t.host.files.count, 0u);  // every print closes its file
}

TEST(DebugPrint, AnEmptyStringCreatesTheFileAndWritesNothing) {
  AsmVm t(R"(
        .include "qx.inc"
        .data
empty:  .asciz ""
        .code
main:   enter 0, 0
        debug empty
        ret 0
)");
  vm::QXmsg(t.host, {1, 0, 0, 0});
  EXPECT_EQ(t.DebugLog(), "");
}

}  // namespace
}  // namespace orva::test
