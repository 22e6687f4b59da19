#include "audio/audio_run.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>

#include "host/run_loop.h"
#include "host/timers.h"
#include "support/asm_vm.h"
#include "vm/loader.h"
#include "vm/messages.h"

namespace orva::test {

namespace {
const std::string_view kRemoteSource = R"(
        .include "qx.inc"
        .bss
count:  .space 4
log:    .space 12 * 64
block:  .space 8
        .data
song:   .asciz "../MUSIC/song.mid"
plain:  .asciz "MUSIC/song.mid"
missing: .asciz "MUSIC/none.mid"
tone:   .asciz "tone.wav"
click:  .asciz "click.wav"
nosound: .asciz "none.wav"
        .code
main:   enter 0, 0
        cmp.l [fp+MSG_CODE], #MSG_MUSIC_END
        beq .record
        cmp.l [fp+MSG_CODE], #20
        bne .done
        mov.l [block], [fp+MSG_P1]      ; the test's request: service and argument
        mov.l [block+4], [fp+MSG_P2]
        mov.l r15, #block
        sys
.record:
        mov.l r0, [count]
        mul.l r0, #12
        mov.l [r0+log], [fp+MSG_CODE]
        syscall AUDIO_MUSIC_PLAYING
        mov.l [r0+log+4], r14
        syscall CLOCK_MS
        mov.l [r0+log+8], r14
        add.l [count], #1
.done:  ret 0
)";
}  // namespace

AudioRun::AudioRun(bool synth, bool device)
    : host(device ? static_cast<platform::Platform&>(headless) : mute) {
  host.folders.user_data = dir.Sub("data") + "/";
  dir.Sub("res/MUSIC");
  host.folders.resource = dir.path() + "/res/";
  host.options.headless = !synth;
  host.audio.notices = nullptr;
  headless.set_audio_tap(
      [this](const int16_t* s, size_t frames) { heard.insert(heard.end(), s, s + 2 * frames); });
}

void AudioRun::Start() {
  WriteBytes(Res("MAIN.QX"), Assemble(kRemoteSource, {}, &symbols));
  ASSERT_TRUE(vm::LoadImage(host));
  host::StartProgram(host);
}

void AudioRun::Do(uint32_t service, uint32_t arg) { vm::QXmsg(host, {20, service, arg, 0}); }

void AudioRun::RunUntil(uint32_t ms) {
  while (host.shell.next_host_tick_ns <= uint64_t{ms} * 1'000'000) {
    headless.clock().WaitUntil(host.shell.next_host_tick_ns);
    host.shell.next_host_tick_ns += host::kHostTickNanos;
    host::HostTick(host);
  }
}

std::vector<AudioRun::Entry> AudioRun::Log() const {
  std::vector<Entry> out;
  for (uint32_t i = 0, at = symbols.at("log"); i < host.mem.U32At(symbols.at("count")); ++i)
    out.push_back({host.mem.U32At(at + 12 * i), host.mem.U32At(at + 12 * i + 4),
                   host.mem.U32At(at + 12 * i + 8)});
  return out;
}

double Rms(const std::vector<int16_t>& samples) {
  double sum = 0;
  for (int16_t s : samples) sum += double(s) * s;
  return samples.empty() ? 0 : std::sqrt(sum / samples.size()) / 32768;
}

void WriteTone(const std::string& path, double hz, double seconds) {
  SF_INFO info{0, 44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  std::vector<float> wave(static_cast<size_t>(seconds * 44100));
  for (size_t i = 0; i < wave.size(); ++i) wave[i] = 0.5f * std::sin(2 * M_PI * hz * i / 44100);
  sf_writef_float(f, wave.data(), static_cast<sf_count_t>(wave.size()));
  sf_close(f);
}

}  // namespace orva::test
