// The standard include file: the expansions of its macros, and the example program of
// docs/assembly.md.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "asm_helpers.h"

namespace orva::test {
namespace {

std::string Inc(const std::string& body) { return ".include \"qx.inc\"\n" + body; }

TEST(QxInc, SyscallStoresEveryArgumentBeforeR15PointsAtTheCallBlock) {
  // Code: 3 + 3 + 2 + 2 + 1 words = 0x2C bytes; the call block is the first .bss word, 0x22C.
  constexpr uint32_t cb = 0x22C;
  EXPECT_EQ(Words(Inc("syscall GFX_CREATE_BITMAP, #640, r15")),
            (std::vector<uint32_t>{0x7C0D, cb, 0x513,    // mov.l [cb], #service
                                   0x7C0D, cb + 4, 640,  // mov.l [cb+4], #640
                                   0x7DF9, cb + 8,       // mov.l [cb+8], r15
                                   0x7DF6, cb,           // mov.l r15, #cb
                                   0x114}));             // sys
  EXPECT_TRUE(Asm(Inc("syscall GFX_STRETCH_BLIT, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, [fp+8], r15")).ok);
  EXPECT_FALSE(Asm(Inc("syscall 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13")).ok);
}

TEST(QxInc, CallPushesTheLastArgumentFirstAndReturnTakesTheLatestProcsCount) {
  EXPECT_EQ(Words(Inc("proc f, 2, 8\n return\n call f, #1, r5")),
            (std::vector<uint32_t>{0x00020954, 0xA54,     // enter 2, 8; ret 2
                                   0x000512D4, 0x6F4,     // push.l r5; push.l #1
                                   0x00080054, 0x200}));  // jsr f, 8
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
  EXPECT_TRUE(r.ok) << r.errors;
}

}  // namespace
}  // namespace orva::test
