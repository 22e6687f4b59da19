// The conformance programs of tests/programs, run through the real binary: each must leave the
// expected debug.log, alerts and exit status. In-process, both loops must leave the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/host.h"
#include "host/startup.h"
#include "platform/headless/headless_platform.h"
#include "support/asm_vm.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace orva::test {
namespace {

const std::string kPrograms = ORVA_BINARY_DIR "/tests/programs/";
const std::string kSources = ORVA_SOURCE_DIR "/tests/programs/";
constexpr uint64_t kTicks = 100;  // 0.5 s of virtual time: every program ends before

struct Outcome {
  int status = -1;
  std::string log;                  // debug.log
  std::vector<std::string> alerts;  // in order
};

Outcome RunBinary(const std::string& name) {
  TempDir dir;
  const std::string data = dir.Sub("data");
  const Ran ran = RunCommand(ORVA_BINARY_DIR "/orva --headless --ticks " + std::to_string(kTicks) +
                             " --data-dir " + data + " " + kPrograms + name);
  Outcome out{ran.status, ReadText(data + "/debug.log"), {}};
  // Alerts are the stderr lines "alert: TEXT"; a text may span lines.
  const std::string& text = ran.err;
  size_t at = 0;
  while ((at = text.find("alert: ", at)) != std::string::npos) {
    size_t next = text.find("\nalert: ", at);
    size_t end = text.find("\nlog: ", at);
    end = std::min({next, end, text.size()});
    std::string alert = text.substr(at + 7, end - at - 7);
    if (!alert.empty() && alert.back() == '\n') alert.pop_back();
    out.alerts.push_back(alert);
    at = end;
  }
  return out;
}

void ExpectOutcome(const std::string& name, const Outcome& want) {
  Outcome got = RunBinary(name);
  EXPECT_EQ(got.status, want.status);
  EXPECT_EQ(got.log, want.log);
  EXPECT_EQ(got.alerts, want.alerts);
}

class SelfChecking : public ::testing::TestWithParam<std::string> {};

TEST_P(SelfChecking, EveryCheckPasses) {
  ExpectOutcome(GetParam(), {0, ReadText(kSources + GetParam() + ".expected"), {}});
}

INSTANTIATE_TEST_SUITE_P(Programs, SelfChecking,
                         ::testing::Values("integer", "floating", "memory", "control", "messages",
                                           "graphics", "text"));

struct FaultCase {
  int n;  // the FAULT value the program was assembled with
  int status;
  std::string log;
  std::vector<std::string> alerts;  // "@" stands for the address of the failing instruction
  uint32_t skew = 0;                // from the label at_fault
};

TEST(FaultPrograms, EachFailureAlertsAndEndsAsItShould) {
  const std::string exit = "start\nexit message\n", survived = "start\nafter\nexit message\n";
  const std::string illegal = "Illegal opcode at @\nTerminating program. So terribly sorry.";
  const FaultCase cases[] = {
      {1, 0, exit, {illegal}},
      {2, 0, exit, {illegal}},
      {3, 0, exit, {"Bad address 0xFFFFFF00 at @. Terminating. So sorry."}},
      // A stack overflow through calls, pushes or frames leaves SP at STKLIM; the exit message
      // runs on the stack as it stood before the failing message.
      {4, 0, exit, {"Stack overflow at @. Terminating. So sorry."}},
      {12, 0, exit, {"Stack overflow at @. Terminating. So sorry."}},
      {13, 0, exit, {"Stack overflow at @. Terminating. So sorry."}},
      {5, 0, exit, {"Division by zero at @. Terminating. So sorry."}},
      {6, 0, exit, {}},  // halt: no alert
      {7, 0, survived, {"Unknown SYS command at @. Ack!"}, 20},
      // An EMOD without a wait ends only its run; the program lives on until the quit request.
      {8, 0, "start\n", {"Illegal EMOD at @"}},
      {9, 0, survived, {"BYTE/WORD size illegal for FLOAT/DOUBLE at @"}},
      {10, 1, "start\nafter\nsecond\n", {"Out of stack"}},  // a message needs 100 bytes
      // A block push must leave 100 bytes above STKLIM.
      {11, 0, exit, {"Stack overflow at @. Terminating. So sorry."}},
  };
  for (FaultCase c : cases) {
    const std::string name = "fault" + std::to_string(c.n);
    SCOPED_TRACE(name);
    uint32_t at = ListingSymbols(ReadText(kPrograms + name + "/MAIN.lst")).at("at_fault");
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%8.8X", at + c.skew);
    for (std::string& alert : c.alerts)
      if (size_t i = alert.find('@'); i != std::string::npos) alert.replace(i, 1, hex);
    ExpectOutcome(name, {c.status, c.log, c.alerts});
  }
}

struct Ended {
  int status;
  std::vector<uint8_t> image;
  std::string log;
  std::vector<std::string> alerts;
};

// Runs a program in-process from its start to the end of the process, as `orva --headless
// --ticks` does, with the pre-decoded loop or the reference loop.
Ended RunInProcess(const std::string& name, bool predecoded) {
  TempDir dir;
  platform::HeadlessPlatform platform(nullptr);
  Host host(platform);
  host.options.headless = true;
  host.options.ticks = kTicks;
  host.folders.resource = kPrograms + name + "/";
  host.folders.user_data = dir.Sub("data") + "/";
  host.folders.game_name = name;
  host.machine.predecoded = predecoded;
  Ended out{host::RunToExit(host), {}, "", platform.shown_alerts()};
  out.image.assign(host.mem.base, host.mem.base + host.mem.size);
  out.log = ReadText(host.folders.user_data + "debug.log");
  return out;
}

TEST(BothLoops, EveryConformanceProgramEndsAlike) {
  std::vector<std::string> names = {"integer", "floating", "memory",
                                    "control", "messages", "graphics"};
  for (int n = 1; n <= 13; ++n) names.push_back("fault" + std::to_string(n));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const Ended ref = RunInProcess(name, false), fast = RunInProcess(name, true);
    EXPECT_EQ(ref.status, fast.status);
    EXPECT_EQ(ref.log, fast.log);
    EXPECT_EQ(ref.alerts, fast.alerts);
    EXPECT_TRUE(ref.image == fast.image) << "images differ";
  }
}

}  // namespace
}  // namespace orva::test
