#include "audio/audio_run.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>

#include "host/run_loop.h"
#include "host/timers.h"
#include "support/asm_vm.h"
#include "vm/loader.h"
#include "vm/messages.h"

namespace orva::test {

namespace {

const std::string_view kRemoteSource = R"(
        .include "qx.inc"
SLOTS = 64
        .bss
count:  .space 4
log:    .space 12 * SLOTS
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
        cmp.l r0, #SLOTS
        bge .done
        mul.l r0, #12
        mov.l [r0+log], [fp+MSG_CODE]
        syscall AUDIO_MUSIC_PLAYING
        mov.l [r0+log+4], r14
        syscall CLOCK_MS
        mov.l [r0+log+8], r14
        add.l [count], #1
.done:  mov.b [MSGRESULT], #1
        ret 0
)";

}  // namespace

AudioRun::AudioRun(bool synth, bool device)
    : host(device ? static_cast<platform::Platform&>(headless) : mute) {
  host.folders.user_data = dir.Sub("data") + "/";
  dir.Sub("res/MUSIC");
  host.folders.resource = dir.path() + "/res/";
  host.options.headless = !synth;
  host.audio.notices = nullptr;
  headless.set_audio_tap([this](const int16_t* s, size_t frames) {
    this->heard.insert(this->heard.end(), s, s + frames * 2);
  });
}

void AudioRun::Start() {
  WriteBytes(Res("MAIN.QX"), Assemble(kRemoteSource, {}, &symbols_));
  ASSERT_TRUE(vm::LoadImage(host));
  host::StartProgram(host);
}

void AudioRun::Do(uint32_t service, uint32_t arg) { vm::QXmsg(host, {20, service, arg, 0}); }

void AudioRun::RunUntil(uint32_t ms) {
  host::Shell& shell = host.shell;
  while (shell.next_host_tick_ns <= uint64_t{ms} * 1'000'000) {
    headless.clock().WaitUntil(shell.next_host_tick_ns);
    shell.next_host_tick_ns += host::kHostTickNanos;
    host::HostTick(host);
  }
}

std::vector<AudioRun::Entry> AudioRun::Log() const {
  std::vector<Entry> out;
  const uint32_t log = symbols_.at("log");
  for (uint32_t i = 0; i < host.mem.U32At(symbols_.at("count")); ++i)
    out.push_back({host.mem.U32At(log + 12 * i), host.mem.U32At(log + 12 * i + 4),
                   host.mem.U32At(log + 12 * i + 8)});
  return out;
}

std::vector<int16_t> AudioRun::Heard(uint32_t from_ms, uint32_t to_ms) const {
  size_t from = std::min<size_t>(from_ms * 96, heard.size());
  size_t to = std::min<size_t>(to_ms * 96, heard.size());
  return std::vector<int16_t>(heard.begin() + from, heard.begin() + to);
}

double Rms(const std::vector<int16_t>& samples) {
  double sum = 0;
  for (int16_t s : samples) sum += double(s) * s;
  return samples.empty() ? 0 : std::sqrt(sum / samples.size()) / 32768;
}

void WriteTone(const std::string& path, double hz, double seconds, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  std::vector<float> wave(static_cast<size_t>(seconds * rate));
  for (size_t i = 0; i < wave.size(); ++i) wave[i] = 0.5f * std::sin(2 * M_PI * hz * i / rate);
  sf_writef_float(f, wave.data(), static_cast<sf_count_t>(wave.size()));
  sf_close(f);
}

}  // namespace orva::test
