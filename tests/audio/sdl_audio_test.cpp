// The SDL audio device, on SDL's dummy driver (which pulls in real time, without a sound card).
#include "platform/sdl/sdl_audio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace orva::platform {
namespace {

struct CountingSource : AudioSource {
  std::atomic<size_t> frames{0}, calls{0};
  std::atomic<bool> inside{false}, overlapped{false};
  void Render(int16_t* samples, size_t n) override {
    if (inside.exchange(true)) overlapped = true;
    std::fill_n(samples, n * 2, int16_t{0});
    frames += n;
    ++calls;
    inside = false;
  }
};

template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 400 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return done();
}

TEST(SdlAudio, PullsUntilStoppedAndNotWhileLocked) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlAudioOutput output;
  CountingSource source;
  ASSERT_EQ(output.Start(&source, 48000), 48000) << output.error();
  ASSERT_TRUE(WaitFor([&] { return source.calls >= 2; }));
  EXPECT_EQ(source.frames % SdlAudioOutput::kBufferFrames, 0u);

  output.Lock();
  size_t calls = source.calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(60));  // three buffers' time
  EXPECT_EQ(source.calls, calls);
  output.Unlock();
  EXPECT_TRUE(WaitFor([&] { return source.calls > calls; }));

  output.Stop();
  calls = source.calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(source.calls, calls);
  EXPECT_FALSE(source.overlapped);
}

TEST(SdlAudio, NoDeviceGivesZeroAndAReason) {
  ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  SdlAudioOutput output;
  CountingSource source;
  EXPECT_EQ(output.Start(&source, 48000), 0);
  EXPECT_FALSE(output.error().empty());
  output.Lock();  // harmless without a device
  output.Unlock();
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
}  // namespace orva::platform
