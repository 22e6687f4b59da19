// --audio-out from the real binary: what a headless run sounds like, to the frame.
#include <gtest/gtest.h>

#include "audio/audio_run.h"
#include "audio/soundfont.h"
#include "support/asm_vm.h"
#include "support/run_command.h"

namespace orva::test {
namespace {

const std::string kOrva = ORVA_BINARY_DIR "/orva --headless ";

TEST(AudioOut, AHeadlessRunWritesWhatItPlays) {
  const TempDir dir;
  const std::string game = dir.Sub("game"), wav = dir.path() + "/out.wav";
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
  const std::string data = " --data-dir " + dir.Sub("data") + " ";
  const Ran r = RunCommand(kOrva + "--audio-out " + wav + data + game);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string bytes = ReadText(wav);
  ASSERT_EQ(bytes.size(), 44 + 96000u * 4);  // to the frame
  if (!audio::FindSoundFont("", "").path.empty()) {
    const int16_t* samples = reinterpret_cast<const int16_t*>(bytes.data() + 44);
    EXPECT_EQ(Rms({samples, samples + 96000}), 0.0);
    EXPECT_GT(Rms({samples + 96000, samples + 144000}), 0.003);
  }

  for (const std::string& path : {dir.path() + "/no/such/dir/x.wav", std::string("/dev/full")}) {
    const Ran bad = RunCommand(kOrva + "--audio-out " + path + data + game);
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.err.starts_with("orva: cannot write " + path + ": ")) << bad.err;
  }
}

}  // namespace
}  // namespace orva::test
