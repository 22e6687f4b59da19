// The qxasm and qxdis programs: files written, exit status, and what a failed run leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>

#include "asm_helpers.h"
#include "support/run_command.h"

namespace orva::test {
namespace {

class Cli : public ::testing::Test {
 protected:
  // Runs a command line in the work folder; returns its exit status, fills out_ and err_.
  int Run(const std::string& command) {
    const Ran ran = RunCommand(command, dir_.path());
    out_ = ran.out;
    err_ = ran.err;
    return ran.status;
  }
  std::string Read(const std::string& name) { return ReadText(dir_.path() + "/" + name); }
  void Write(const std::string& name, const std::string& text) {
    WriteText(dir_.path() + "/" + name, text);
  }
  size_t FileCount() {
    auto entries = std::filesystem::directory_iterator(dir_.path());
    return static_cast<size_t>(std::distance(begin(entries), end(entries)));
  }

  const std::string qxasm_ = ORVA_BINARY_DIR "/qxasm";
  const std::string qxdis_ = ORVA_BINARY_DIR "/qxdis";
  TempDir dir_;
  std::string out_, err_;
};

TEST_F(Cli, AssemblesWithIncludesAndDefinesAndWritesListingAndDepfile) {
  Write("prog.qxs",
        ".include \"qx.inc\"\n.include \"my.inc\"\nmain: mov.b [MSGRESULT], #MINE\n.long SIZE\n");
  dir_.Sub("inc");
  Write("inc/my.inc", "MINE = FLAG\n");
  ASSERT_EQ(Run(qxasm_ + " prog.qxs -Iinc -D SIZE=0x10 -DFLAG -l prog.lst --depfile MAIN.QX.d"), 0)
      << err_;
  EXPECT_EQ(err_, "");
  EXPECT_EQ(Read("MAIN.QX").substr(512), std::string("\x3D\x78\0\0\xC1\0\0\0\x10\0\0\0", 12));
  ExpectHas(Read("prog.lst"), {"00000200  0000783D 000000C1"});
  const std::string deps = Read("MAIN.QX.d");
  EXPECT_EQ(deps.rfind("MAIN.QX: \\\n  prog.qxs \\\n  ", 0), 0u) << deps;
  ExpectHas(deps, {"include/qx.inc \\\n  inc/my.inc\n"});
  EXPECT_EQ(FileCount(), 5u);  // source, include folder, image, listing, depfile: no leftovers
}

TEST_F(Cli, FailureExitsWith1AndWritesNothing) {
  Write("bad.qxs", "nop\nfrob r1\n");
  EXPECT_EQ(Run(qxasm_ + " bad.qxs -o MAIN.QX -l bad.lst --depfile d"), 1);
  EXPECT_EQ(err_, "bad.qxs:2:1: unknown instruction 'frob'\nfrob r1\n^\n");
  EXPECT_EQ(FileCount(), 1u);  // only the source
}

TEST_F(Cli, RefusesBadCommandLinesWithStatus1) {
  const std::pair<std::string, const char*> cases[] = {
      {qxasm_, "usage: qxasm SOURCE"},
      {qxasm_ + " a.qxs --frob", "qxasm: unknown option --frob"},
      {qxasm_ + " a.qxs -D =3", "-D needs NAME or NAME=NUMBER"},
      {qxasm_ + " a.qxs -o", "-o needs a value"},
      {qxasm_ + " missing.qxs", "qxasm: cannot read 'missing.qxs'\n"},
      {qxdis_ + " x.bin", "qxdis: x.bin: shorter than the 512-byte header: not a program image\n"},
      {qxdis_ + " nothing.qx", "qxdis: cannot open nothing.qx"},
      {qxdis_ + " pipe.qx", "qxdis: pipe.qx: not a regular file\n"},  // a pipe never ends
      {qxdis_ + " /dev/zero", "qxdis: /dev/zero: not a regular file\n"},
      {qxdis_ + " x.bin --from banana", "--from needs an address"},
  };
  Write("x.bin", "hello");
  ASSERT_EQ(::mkfifo((dir_.path() + "/pipe.qx").c_str(), 0666), 0);
  for (const auto& [command, says] : cases) {
    EXPECT_EQ(Run(command), 1) << command;
    ExpectHas(err_, {says});
  }
  EXPECT_EQ(Run(qxasm_ + " --help"), 0);
  ExpectHas(out_, {"usage: qxasm SOURCE"});
}

// (That its output reassembles to the same image is the round trip's business.)
TEST_F(Cli, QxdisPrintsTheRangeAsked) {
  Write("p.qxs", "start: add.l r1, r2\n jmp start\n.data\n.asciz \"hello\"\n");
  ASSERT_EQ(Run(qxasm_ + " p.qxs -o A.QX"), 0) << err_;
  ASSERT_EQ(Run(qxdis_ + " A.QX"), 0) << err_;
  ExpectHas(out_, {"L_00000200:\n        add.l r1, r2", "jmp L_00000200"});
  ASSERT_EQ(Run(qxdis_ + " A.QX --from 0x204 --to 0x208"), 0);
  ExpectHas(out_, {"jmp L_00000200"});
  EXPECT_EQ(out_.find("add.l"), std::string::npos) << out_;
  EXPECT_EQ(out_.find("0x00000208"), std::string::npos) << out_;  // the data after 0x208
}

}  // namespace
}  // namespace orva::test
