// In-process audio figures for bench/audio/run.py, one "name value" line each:
//   engine_*   the whole music path (reading the file, our sequencer, the synth, the mixer and a
//              WAV file) rendering FILE.mid to its end at 48 kHz;
//   effect_*   what a playing sound effect costs the mixer per second of sound, and what
//              PlaySound's decoding of EFFECT costs.
// Usage: audio_bench FILE.mid SOUNDFONT EFFECT OUT.wav
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <variant>
#include <vector>

#include "audio/mixer.h"
#include "audio/plain_file.h"

namespace {

using namespace orva::audio;
constexpr uint32_t kRate = 48000;

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

template <typename T>
T Take(std::variant<T, std::string>&& v, const char* what) {
  if (auto* why = std::get_if<std::string>(&v)) {
    std::fprintf(stderr, "audio_bench: %s: %s\n", what, why->c_str());
    std::exit(1);
  }
  return std::move(std::get<T>(v));
}

void Engine(const char* midi, const char* soundfont, const char* out) {
  double start = CpuSeconds();
  auto bytes = Take(ReadPlainFile(midi, kMaxMidiFileBytes), midi);
  Sequence music(Take(ReadMidiFile(bytes), midi), kRate);
  auto synth = Take(Synth::Create(soundfont, kRate), soundfont);
  auto wav = Take(WavWriter::Create(out, kRate), out);
  Mixer mixer;
  mixer.Configure(kRate, synth.get(), wav.get());
  mixer.SetMusic(&music);
  std::vector<int16_t> block(2 * 1024);
  uint64_t frames = 0;
  while (mixer.music_frames() < music.end_frame) {
    mixer.Render(block.data(), 1024);
    frames += 1024;
  }
  std::printf("engine_audio_s %.3f\nengine_cpu_s %.3f\n", double(frames) / kRate,
              CpuSeconds() - start);
}

// CPU seconds to mix `seconds` of output with the effect playing over and over (or not at all).
double MixSeconds(const Sound* sound, int seconds) {
  Mixer mixer;
  mixer.Configure(kRate, nullptr, nullptr);
  std::vector<int16_t> block(2 * 1024);
  uint64_t played = 0;
  double start = CpuSeconds();
  for (uint64_t frames = 0; frames < uint64_t{kRate} * seconds; frames += 1024) {
    if (sound && played % sound->frames() < 1024) mixer.SetSound(sound);
    mixer.Render(block.data(), 1024);
    played += 1024;
  }
  return CpuSeconds() - start;
}

void Effect(const char* effect) {
  constexpr int kSeconds = 300;
  auto sound = Take(DecodeSound(effect, kRate), effect);
  double with = MixSeconds(sound.get(), kSeconds), without = MixSeconds(nullptr, kSeconds);
  std::printf("effect_mix_us_per_s %.1f\nsilence_mix_us_per_s %.1f\n",
              (with - without) / kSeconds * 1e6, without / kSeconds * 1e6);
  std::vector<double> decode;
  for (int i = 0; i < 15; ++i) {
    double start = CpuSeconds();
    Take(DecodeSound(effect, kRate), effect);
    decode.push_back(CpuSeconds() - start);
  }
  std::sort(decode.begin(), decode.end());
  std::printf("effect_seconds %.3f\neffect_decode_ms %.2f\n", double(sound->frames()) / kRate,
              decode[decode.size() / 2] * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: audio_bench FILE.mid SOUNDFONT EFFECT OUT.wav\n");
    return 2;
  }
  Engine(argv[1], argv[2], argv[4]);
  Effect(argv[3]);
  return 0;
}
