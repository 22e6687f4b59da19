// Does a busy host starve the SDL audio device? Plays FILE.mid through the mixer on the SDL
// device (SDL_AUDIODRIVER=dummy is enough: it pulls on its own thread, like a sound card) while
// the host's thread never rests: it polls the music as the host tick does, and every 250 ms
// decodes a sound effect and hands it to the mixer under the device's lock, as PlaySound does.
// With --load N, N more threads spin meanwhile.
//
// A device underruns when a buffer is not rendered by the time the previous one has played.
// For each callback we measure how long rendering took and how late the callback started
// (beyond the buffer time the dummy driver waits between callbacks): their sum must stay under
// one buffer's time.
// Usage: audio_gaps FILE.mid SOUNDFONT EFFECT SECONDS [--load N]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <variant>
#include <vector>

#include "audio/mixer.h"
#include "audio/plain_file.h"
#include "platform/sdl/sdl_audio.h"

namespace {

using namespace orva::audio;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <typename T>
T Take(std::variant<T, std::string>&& v, const char* what) {
  if (auto* why = std::get_if<std::string>(&v)) {
    std::fprintf(stderr, "audio_gaps: %s: %s\n", what, why->c_str());
    std::exit(1);
  }
  return std::move(std::get<T>(v));
}

// Times each callback of the device around the mixer.
struct Timed : orva::platform::AudioSource {
  Mixer* mixer = nullptr;
  std::vector<Clock::time_point> starts;
  std::vector<double> render_ms;
  void Render(int16_t* samples, size_t frames) override {
    auto start = Clock::now();
    mixer->Render(samples, frames);
    if (starts.size() < starts.capacity()) {
      starts.push_back(start);
      render_ms.push_back(Ms(Clock::now() - start));
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: audio_gaps FILE.mid SOUNDFONT EFFECT SECONDS [--load N]\n");
    return 2;
  }
  int seconds = std::atoi(argv[4]);
  int load = argc > 6 && std::strcmp(argv[5], "--load") == 0 ? std::atoi(argv[6]) : 0;
  setenv("SDL_AUDIODRIVER", "dummy", 0);

  orva::platform::SdlAudioOutput output;
  Mixer mixer;
  Timed timed;
  timed.mixer = &mixer;
  timed.starts.reserve(size_t(seconds) * 100);
  timed.render_ms.reserve(size_t(seconds) * 100);
  int rate = output.Start(&timed, 48000);
  if (rate == 0) {
    std::fprintf(stderr, "audio_gaps: no device: %s\n", output.error().c_str());
    return 1;
  }
  auto bytes = Take(ReadPlainFile(argv[1], kMaxMidiFileBytes), argv[1]);
  Sequence music(Take(ReadMidiFile(bytes), argv[1]), rate);
  auto synth = Take(Synth::Create(argv[2], rate), argv[2]);
  output.Lock();
  mixer.Configure(rate, synth.get(), nullptr);
  mixer.SetMusic(&music);
  output.Unlock();

  std::atomic<bool> stop{false};
  std::vector<std::thread> spinners;
  for (int i = 0; i < load; ++i)
    spinners.emplace_back([&] {
      volatile uint64_t x = 0;
      while (!stop.load(std::memory_order_relaxed)) x = x + 1;
    });

  // The host's thread: busy throughout, polling and swapping effects.
  std::shared_ptr<const Sound> sound;
  double max_lock_wait = 0, max_lock_hold = 0;
  uint64_t polls = 0, swaps = 0;
  auto end = Clock::now() + std::chrono::seconds(seconds), next_swap = Clock::now();
  while (Clock::now() < end) {
    polls += mixer.music_frames() >= music.end_frame;
    if (Clock::now() >= next_swap) {
      auto next = Take(DecodeSound(argv[3], rate), argv[3]);
      auto asked = Clock::now();
      output.Lock();
      auto got = Clock::now();
      mixer.SetSound(next.get());
      output.Unlock();
      max_lock_wait = std::max(max_lock_wait, Ms(got - asked));
      max_lock_hold = std::max(max_lock_hold, Ms(Clock::now() - got));
      sound.swap(next);
      ++swaps;
      next_swap += std::chrono::milliseconds(250);
    }
  }
  stop = true;
  for (auto& t : spinners) t.join();
  output.Stop();

  const double period = 1000.0 * orva::platform::SdlAudioOutput::kBufferFrames / rate;
  const double waited = double(orva::platform::SdlAudioOutput::kBufferFrames * 1000 / rate);
  std::vector<double> renders = timed.render_ms, late;
  size_t short_of_time = 0;
  for (size_t i = 1; i < timed.starts.size(); ++i) {
    double lateness =
        std::max(0.0, Ms(timed.starts[i] - timed.starts[i - 1]) - timed.render_ms[i - 1] - waited);
    late.push_back(lateness);
    short_of_time += timed.render_ms[i] + lateness > period;
  }
  std::sort(renders.begin(), renders.end());
  std::sort(late.begin(), late.end());
  auto pct = [](const std::vector<double>& v, double p) {
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, size_t(p * v.size()))];
  };
  std::printf(
      "callbacks %zu\nbuffer_ms %.2f\nrender_ms_p50 %.3f\nrender_ms_p99 %.3f\n"
      "render_ms_max %.3f\nlate_ms_p99 %.3f\nlate_ms_max %.3f\nshort_of_time %zu\n"
      "effect_swaps %llu\nlock_wait_ms_max %.3f\nlock_hold_ms_max %.3f\n",
      renders.size(), period, pct(renders, 0.5), pct(renders, 0.99),
      renders.empty() ? 0 : renders.back(), pct(late, 0.99), late.empty() ? 0 : late.back(),
      short_of_time, static_cast<unsigned long long>(swaps), max_lock_wait, max_lock_hold);
  return 0;
}
