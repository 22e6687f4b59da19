// --audio-out from the real binary: what a headless run sounds like, to the frame.
#include <gtest/gtest.h>

#include "audio/audio_run.h"
#include "audio/soundfont.h"
#include "support/asm_vm.h"
#include "support/run_command.h"

namespace orva::test {
namespace {

TEST(AudioOut, AHeadlessRunWritesWhatItPlays) {
  const TempDir dir;
  const std::string game = dir.Sub("game"), out = dir.path() + "/out.wav";
  dir.Sub("game/MUSIC");
  WriteBytes(game + "/MAIN.QX", Assemble(R"(
        .include "qx.inc"
        .data
music:  .asciz "MUSIC/a.mid"
        .code
main:   enter 0, 0
        cmp.l [fp+MSG_CODE], #MSG_STARTUP
        bne .other
        syscall AUDIO_MUSIC, #music
.other: cmp.l [fp+MSG_CODE], #MSG_MUSIC_END
        bne .done
        halt                            ; the run ends with the music
.done:  ret 0
)"));
  // One note from 1 s to 1.5 s; the music ends at 2 s.
  WriteBytes(game + "/MUSIC/a.mid",
             Join({Header(0, 1, 480), Track({{960, {0x90, 69, 110}}, {480, {0x80, 69, 0}}})}));
  const std::string orva = ORVA_BINARY_DIR "/orva --headless --data-dir " + dir.Sub("data");
  const Ran r = RunCommand(orva + " --audio-out " + out + " " + game);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string wav = ReadText(out);
  ASSERT_EQ(wav.size(), 44 + 96000u * 4);
  if (!audio::FindSoundFont("", "").path.empty()) {
    const int16_t* samples = reinterpret_cast<const int16_t*>(wav.data() + 44);
    EXPECT_EQ(Rms({samples, samples + 96000}), 0.0);
    EXPECT_GT(Rms({samples + 96000, samples + 144000}), 0.003);
  }
  for (const std::string& bad : {dir.path() + "/no/such/dir/x.wav", std::string("/dev/full")}) {
    const Ran r2 = RunCommand(orva + " --audio-out " + bad + " " + game);
    EXPECT_EQ(r2.status, 1);
    EXPECT_TRUE(r2.err.starts_with("orva: cannot write " + bad + ": ")) << r2.err;
  }
}

}  // namespace
}  // namespace orva::test
