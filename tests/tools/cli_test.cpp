// The qxasm and qxdis programs: files written, exit status, and what a failed run leaves behind.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace orva::test {
namespace {

namespace fs = std::filesystem;

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("qx_cli_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs a command line in the test folder; returns its exit status, fills out_ and err_.
  int Run(const std::string& args) {
    const std::string cmd = "cd '" + dir_.string() + "' && " + args + " >out.txt 2>err.txt";
    const int status = std::system(cmd.c_str());
    out_ = Read("out.txt");
    err_ = Read("err.txt");
    fs::remove(dir_ / "out.txt");
    fs::remove(dir_ / "err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  size_t FileCount() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++n;
    return n;
  }

  const std::string qxasm_ = ORVA_BINARY_DIR "/qxasm";
  const std::string qxdis_ = ORVA_BINARY_DIR "/qxdis";
  fs::path dir_;
  std::string out_, err_;
};

TEST_F(Cli, AssemblesWithTheStandardIncludeAndWritesListingAndDepfile) {
  Write("prog.qxs", ".include \"qx.inc\"\n.include \"my.inc\"\nmain: mov.b [MSGRESULT], #MINE\n");
  fs::create_directories(dir_ / "inc");
  Write("inc/my.inc", "MINE = 1\n");
  ASSERT_EQ(Run(qxasm_ + " prog.qxs -o MAIN.QX -Iinc -l prog.lst --depfile MAIN.QX.d"), 0) << err_;
  EXPECT_EQ(err_, "");
  EXPECT_EQ(Read("MAIN.QX").size(), 520u);
  EXPECT_NE(Read("prog.lst").find("00000200  0000783D 000000C1"), std::string::npos);
  const std::string deps = Read("MAIN.QX.d");
  EXPECT_EQ(deps.rfind("MAIN.QX: \\\n  prog.qxs \\\n  ", 0), 0u) << deps;
  EXPECT_NE(deps.find("include/qx.inc \\\n  inc/my.inc\n"), std::string::npos) << deps;
  EXPECT_EQ(FileCount(), 5u);  // source, include folder, image, listing, depfile: no leftovers
}

TEST_F(Cli, FailureExitsWith1AndWritesNothing) {
  Write("bad.qxs", "nop\nfrob r1\n");
  EXPECT_EQ(Run(qxasm_ + " bad.qxs -o MAIN.QX -l bad.lst --depfile d"), 1);
  EXPECT_EQ(err_, "bad.qxs:2:1: unknown instruction 'frob'\nfrob r1\n^\n");
  EXPECT_EQ(FileCount(), 1u);  // only the source

  EXPECT_EQ(Run(qxasm_ + " missing.qxs"), 1);
  EXPECT_EQ(err_, "qxasm: cannot read 'missing.qxs'\n");
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(Cli, UsageErrors) {
  EXPECT_EQ(Run(qxasm_), 1);
  EXPECT_NE(err_.find("usage: qxasm SOURCE"), std::string::npos);
  EXPECT_EQ(Run(qxasm_ + " a.qxs --frob"), 1);
  EXPECT_NE(err_.find("qxasm: unknown option --frob"), std::string::npos);
  EXPECT_EQ(Run(qxasm_ + " a.qxs -D =3"), 1);
  EXPECT_NE(err_.find("-D needs NAME or NAME=NUMBER"), std::string::npos);
  EXPECT_EQ(Run(qxasm_ + " a.qxs -o"), 1);
  EXPECT_NE(err_.find("-o needs a value"), std::string::npos);
  EXPECT_EQ(Run(qxasm_ + " --help"), 0);
  EXPECT_NE(out_.find("usage: qxasm SOURCE"), std::string::npos);
}

TEST_F(Cli, DefinesAndDefaultOutputName) {
  Write("p.qxs", ".long SIZE, FLAG\n");
  ASSERT_EQ(Run(qxasm_ + " p.qxs -D SIZE=0x10 -DFLAG"), 0) << err_;
  const std::string image = Read("MAIN.QX");
  ASSERT_EQ(image.size(), 520u);
  EXPECT_EQ(image.substr(512), std::string("\x10\0\0\0\x01\0\0\0", 8));
}

TEST_F(Cli, QxdisPrintsSourceThatReassembles) {
  Write("p.qxs", "start: add.l r1, r2\n jmp start\n.data\n.asciz \"hello\"\n");
  ASSERT_EQ(Run(qxasm_ + " p.qxs -o A.QX"), 0) << err_;
  ASSERT_EQ(Run(qxdis_ + " A.QX"), 0) << err_;
  EXPECT_NE(out_.find("L_00000200:\n        add.l r1, r2"), std::string::npos) << out_;
  Write("back.qxs", out_);
  ASSERT_EQ(Run(qxasm_ + " back.qxs -o B.QX"), 0) << err_;
  EXPECT_EQ(Read("A.QX"), Read("B.QX"));

  ASSERT_EQ(Run(qxdis_ + " A.QX --from 0x204 --to 0x208"), 0);
  EXPECT_EQ(out_.find("add.l"), std::string::npos) << out_;
  EXPECT_NE(out_.find("jmp L_00000200"), std::string::npos) << out_;
}

TEST_F(Cli, QxdisRefusesWhatIsNotAnImage) {
  Write("x.bin", "hello");
  EXPECT_EQ(Run(qxdis_ + " x.bin"), 1);
  EXPECT_EQ(err_, "qxdis: x.bin: shorter than the 512-byte header: not a program image\n");
  EXPECT_EQ(Run(qxdis_ + " nothing.qx"), 1);
  EXPECT_NE(err_.find("qxdis: cannot open nothing.qx"), std::string::npos);
  EXPECT_EQ(Run(qxdis_ + " x.bin --from banana"), 1);
  EXPECT_NE(err_.find("--from needs an address"), std::string::npos);
}

}  // namespace
}  // namespace orva::test
