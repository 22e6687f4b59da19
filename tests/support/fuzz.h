// Bounded random testing: runs for ORVA_FUZZ_SECONDS (1 s by default) from a fixed seed, so a
// failure reproduces from its seed and iteration number.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>

namespace orva::test {

template <typename Body>
void FuzzFor(uint64_t seed, Body&& body, int min_iterations = 20) {
  const char* env = std::getenv("ORVA_FUZZ_SECONDS");
  double seconds = env && std::atof(env) > 0 ? std::atof(env) : 1.0;
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::mt19937_64 rng(seed);
  for (int i = 0; i < min_iterations || std::chrono::steady_clock::now() < end; ++i) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed << " iteration " << i);
    body(rng);
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace orva::test
