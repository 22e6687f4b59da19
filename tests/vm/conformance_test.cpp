// The conformance programs of tests/programs, run in-process and through the real binary; both
// must leave the expected debug.log, alerts and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/run_loop.h"
#include "support/asm_vm.h"
#include "support/temp_dir.h"
#include "vm/loader.h"

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

Outcome RunInProcess(const std::string& name) {
  TempDir dir;
  platform::HeadlessPlatform platform(nullptr);
  Host host(platform);
  host.folders.resource = kPrograms + name + "/";
  host.folders.user_data = dir.Sub("data") + "/";
  host.options.ticks = kTicks;
  Outcome out;
  try {
    if (!vm::LoadImage(host)) ExitProcess(host, 1);
    host.machine.loaded_count = 1;
    host::RunLoadedProgram(host);
  } catch (const platform::ProcessExit& e) {
    out.status = e.status;
  }
  out.log = ReadText(host.folders.user_data + "debug.log");
  out.alerts = platform.alerts();
  return out;
}

Outcome RunBinary(const std::string& name) {
  TempDir dir;
  std::string err = dir.path() + "/stderr", data = dir.Sub("data");
  std::vector<std::string> args = {ORVA_BINARY_DIR "/orva", "--headless", "--ticks",
                                   std::to_string(kTicks),  "--data-dir", data,
                                   kPrograms + name};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t io;
  posix_spawn_file_actions_init(&io);
  posix_spawn_file_actions_addopen(&io, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Outcome out;
  pid_t pid;
  int wstatus;
  if (posix_spawn(&pid, argv[0], &io, nullptr, argv.data(), environ) == 0 &&
      waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
    out.status = WEXITSTATUS(wstatus);
  posix_spawn_file_actions_destroy(&io);
  out.log = ReadText(data + "/debug.log");
  // Alerts are the stderr lines "alert: TEXT"; a text may span lines.
  std::string text = ReadText(err);
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
  for (bool binary : {false, true}) {
    SCOPED_TRACE(binary ? "through orva" : "in-process");
    Outcome got = binary ? RunBinary(name) : RunInProcess(name);
    EXPECT_EQ(got.status, want.status);
    EXPECT_EQ(got.log, want.log);
    EXPECT_EQ(got.alerts, want.alerts);
  }
}

class SelfChecking : public ::testing::TestWithParam<std::string> {};

TEST_P(SelfChecking, EveryCheckPasses) {
  ExpectOutcome(GetParam(), {0, ReadText(kSources + GetParam() + ".expected"), {}});
}

INSTANTIATE_TEST_SUITE_P(Programs, SelfChecking,
                         ::testing::Values("integer", "floating", "memory", "control", "messages",
                                           "graphics"));

// The address of the failing instruction of fault program n, from its listing.
uint32_t AtFault(int n) {
  std::string name = "fault" + std::to_string(n);
  return ListingSymbols(ReadText(kPrograms + name + "/MAIN.lst")).at("at_fault");
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%8.8X", v);
  return text;
}

TEST(FaultPrograms, FatalFaultsRunTheExitMessageAndEndWithStatus0) {
  const std::string start_exit = "start\nexit message\n";
  ExpectOutcome("fault1", {0,
                           start_exit,
                           {"Illegal opcode at " + Hex(AtFault(1)) +
                            "\nTerminating program. So terribly sorry."}});
  ExpectOutcome("fault2", {0,
                           start_exit,
                           {"Illegal opcode at " + Hex(AtFault(2)) +
                            "\nTerminating program. So terribly sorry."}});
  ExpectOutcome("fault3",
                {0,
                 start_exit,
                 {"Bad address 0xFFFFFF00 at " + Hex(AtFault(3)) + ". Terminating. So sorry."}});
  ExpectOutcome(
      "fault5",
      {0, start_exit, {"Division by zero at " + Hex(AtFault(5)) + ". Terminating. So sorry."}});
  ExpectOutcome("fault6", {0, start_exit, {}});  // halt: no alert
  // A block push must leave 100 bytes above STKLIM; the refused push leaves SP where it was.
  ExpectOutcome(
      "fault11",
      {0, start_exit, {"Stack overflow at " + Hex(AtFault(11)) + ". Terminating. So sorry."}});
}

TEST(FaultPrograms, AStackOverflowLeavesNoRoomForTheExitMessage) {
  // The recursion stops within a few bytes of STKLIM; the exit message then needs 100 bytes and
  // ends the process with "Out of stack" and status 1.
  ExpectOutcome("fault4", {1,
                           "start\n",
                           {"Stack overflow at " + Hex(AtFault(4)) + ". Terminating. So sorry.",
                            "Out of stack"}});
}

TEST(FaultPrograms, RecoverableMisuseAlertsAndGoesOn) {
  const std::string survived = "start\nafter\nexit message\n";
  ExpectOutcome("fault7",
                {0, survived, {"Unknown SYS command at " + Hex(AtFault(7) + 20) + ". Ack!"}});
  ExpectOutcome("fault9",
                {0, survived, {"BYTE/WORD size illegal for FLOAT/DOUBLE at " + Hex(AtFault(9))}});
  // An EMOD without a wait ends only its run; the program lives on until the quit request.
  ExpectOutcome("fault8", {0, "start\n", {"Illegal EMOD at " + Hex(AtFault(8))}});
}

TEST(FaultPrograms, AMessageNeedsOneHundredBytesOfStack) {
  ExpectOutcome("fault10", {1, "start\nafter\nsecond\n", {"Out of stack"}});
}

}  // namespace
}  // namespace orva::test
