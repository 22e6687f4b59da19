// Time budgets for the fuzz cases: a few seconds each by default, longer when ORVA_FUZZ_SECONDS
// asks for it. Seeds are fixed in each case, so a failure reproduces.
#pragma once

#include <chrono>
#include <cstdlib>

namespace orva::testing_support {

inline std::chrono::steady_clock::time_point FuzzDeadline(double default_seconds) {
  double seconds = default_seconds;
  if (const char* env = std::getenv("ORVA_FUZZ_SECONDS")) seconds = std::atof(env);
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
             std::chrono::duration<double>(seconds));
}

inline bool Expired(std::chrono::steady_clock::time_point deadline) {
  return std::chrono::steady_clock::now() >= deadline;
}

}  // namespace orva::testing_support
