// --events and --record through the real binary: a bad script stops the run before it starts,
// and a run writes what it received.
#include <gtest/gtest.h>

#include "support/asm_vm.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace orva::test {
namespace {

// Notes its start in debug.log and lets itself be closed.
constexpr std::string_view kProgram = R"(
        .include "qx.inc"
        .code
main:   enter 0, 0
        mov.b [MSGRESULT], #1
        cmp.l [fp+MSG_CODE], #MSG_STARTUP
        bne .done
        debugstr "started\n"
.done:  ret 0
)";

struct Game {
  Game() { WriteBytes(dir.Sub("game") + "/MAIN.QX", Assemble(kProgram)); }
  Ran Orva(const std::string& options) {
    return RunCommand(ORVA_BINARY_DIR "/orva --headless --ticks 100 --data-dir " + dir.path() +
                      "/data " + options + " " + dir.path() + "/game");
  }
  std::string Path(const std::string& name) const { return dir.path() + "/" + name; }
  TempDir dir;
};

TEST(EventFiles, ABadScriptOrRecordingIsAUsageErrorBeforeTheProgramStarts) {
  Game g;
  WriteText(g.Path("ev.txt"), "0 focus-gained\n# fine so far\n10 key-down Nope\n");
  Ran r = g.Orva("--events " + g.Path("ev.txt"));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "orva: " + g.Path("ev.txt") + ":3: unknown key 'Nope'\n");
  for (std::string options : {"--events " + g.Path("none.txt"), "--record " + g.Path("no/r.txt")}) {
    r = g.Orva(options);
    EXPECT_EQ(r.status, 2) << options;
    EXPECT_TRUE(r.err.starts_with("orva: cannot ")) << r.err;
  }
  EXPECT_EQ(ReadText(g.Path("data/debug.log")), "<missing>");
}

TEST(EventFiles, ARunRecordsWhatItReceived) {
  Game g;
  WriteText(g.Path("ev.txt"), "5 key-down A\n8 key-up A  # released\n9 wheel 0 -0.25\n10 close\n");
  Ran r = g.Orva("--events " + g.Path("ev.txt") + " --record " + g.Path("rec.txt"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadText(g.Path("data/debug.log")), "started\n");
  EXPECT_EQ(ReadText(g.Path("rec.txt")),
            "5 key-down A\n5 text \"a\"\n8 key-up A\n9 wheel 0 -0.25\n10 close\n");
}

}  // namespace
}  // namespace orva::test
