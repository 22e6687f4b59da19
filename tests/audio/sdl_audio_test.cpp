// The SDL audio device, on SDL's dummy driver (which pulls in real time, without a sound card).
#include "platform/sdl/sdl_audio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace orva::platform {
namespace {

struct CountingSource : AudioSource {
  std::atomic<size_t> frames{0}, calls{0};
  void Render(int16_t* samples, size_t n) override {
    std::fill_n(samples, n * 2, int16_t{0});
    frames += n;
    ++calls;
  }
};

// `calls` after a pause of three buffers' time, or once it passes `more_than` (within 2 s).
size_t CallsAfterAPause(const CountingSource& s, size_t more_than = SIZE_MAX) {
  std::this_thread::sleep_for(std::chrono::milliseconds(64));
  for (int i = 0; i < 400 && s.calls <= more_than && more_than != SIZE_MAX; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return s.calls;
}

TEST(SdlAudio, PullsUntilStoppedAndNotWhileLocked) {
  ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  SdlAudioOutput output;
  CountingSource source;
  EXPECT_EQ(output.Start(&source, 48000), 0);
  EXPECT_FALSE(output.error().empty());

  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_EQ(output.Start(&source, 48000), 48000) << output.error();
  CallsAfterAPause(source, 1);
  EXPECT_EQ(source.frames % SdlAudioOutput::kBufferFrames, 0u);
  output.Lock();
  size_t calls = source.calls;
  EXPECT_EQ(CallsAfterAPause(source), calls);
  output.Unlock();
  EXPECT_GT(CallsAfterAPause(source, calls), calls);
  output.Stop();
  calls = source.calls;
  EXPECT_EQ(CallsAfterAPause(source), calls);
}

}  // namespace
}  // namespace orva::platform
