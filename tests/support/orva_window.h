// The real window, end to end: `orva` on a virtual X server, looked at and driven as a user
// would. Tests of the window derive their fixtures from this one; it skips them, with the reason,
// only where the virtual server cannot start.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/run_command.h"
#include "support/temp_dir.h"
#include "support/x_session.h"

namespace orva::test {

inline const std::string kOrva = ORVA_BINARY_DIR "/orva";

class XWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x_.ok()) GTEST_SKIP() << x_.reason();
  }

  // Starts orva with `args` (options and the program) and waits for the window titled `title`.
  // `env` adds to the environment.
  Window Launch(std::vector<std::string> args, const std::string& title,
                std::vector<std::pair<std::string, std::string>> env = {}) {
    // The desktop's libraries (D-Bus, the GL driver) keep memory to the end of the process;
    // the core's own leaks are checked in-process and by the headless runs.
    const char* asan = std::getenv("ASAN_OPTIONS");
    env.insert(env.end(), {{"DISPLAY", x_.name()},
                           {"SDL_VIDEODRIVER", "x11"},  // CI names the dummy driver for everyone
                           {"HOME", dir_.path()},
                           {"XDG_CONFIG_HOME", dir_.path() + "/config"},
                           {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":detect_leaks=0"}});
    args.insert(args.begin(), {kOrva, "--data-dir", dir_.Sub("data")});
    orva_.emplace(args, env, dir_.path() + "/stderr");
    std::optional<Window> w = x_.FindWindow(title, kTimeoutMs);
    EXPECT_TRUE(w) << "no window; stderr: " << Stderr();
    return w.value_or(0);
  }

  // Types `keys` (xdotool's names) into the window under the pointer.
  void Type(const std::string& keys) {
    RunCommand("DISPLAY=" + x_.name() + " xdotool mousemove 300 300 key " + keys);
  }

  std::string Log() { return ReadText(dir_.path() + "/data/debug.log"); }
  std::string Stderr() { return ReadText(dir_.path() + "/stderr"); }

  static constexpr int kTimeoutMs = 20000;  // generous: CI machines are busy
  VirtualX x_{1280, 1024};
  TempDir dir_;
  std::optional<Child> orva_;
};

}  // namespace orva::test
