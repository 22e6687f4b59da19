// The back end without display or sound: alerts go to stderr as "alert: <text>" and are answered
// at once as if "Sigh" were pressed; the clock is virtual and starts at zero.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace orva::platform {

class HeadlessPlatform : public Platform {
 public:
  // `err` receives alerts and log lines; null keeps them only in the records below (tests).
  explicit HeadlessPlatform(std::FILE* err = stderr) : err_(err) {}

  void Alert(std::string_view utf8) override;
  void SystemLog(std::string_view text) override;
  uint64_t MonotonicNanos() override { return now_; }
  LocalTime Now() override { return now_local_; }
  void WaitUntil(uint64_t deadline) override {
    if (deadline > now_) now_ = deadline;
  }
  bool headless() const override { return true; }

  // What the program has shown, for tests and for the log of a headless run.
  const std::vector<std::string>& alerts() const { return alerts_; }
  const std::vector<std::string>& log() const { return log_; }
  void set_local_time(const LocalTime& t) { now_local_ = t; }

 private:
  std::FILE* err_;
  uint64_t now_ = 0;
  // A fixed calendar keeps headless runs reproducible.
  LocalTime now_local_{2000, 1, 1, 0, 0, 0};
  std::vector<std::string> alerts_;
  std::vector<std::string> log_;
};

}  // namespace orva::platform
