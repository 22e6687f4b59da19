// Process entry: parse the command line, set up the folders, pick a back end, run the host.
#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "core/host.h"
#include "host/command_line.h"
#include "host/event_player.h"
#include "host/event_recorder.h"
#include "host/folders.h"
#include "host/quit_signals.h"
#include "host/startup.h"
#include "platform/headless/headless_platform.h"

namespace {

constexpr int kUsageStatus = 2;  // also: no display to open a window on

// The desktop's back end is a module (platform/sdl/module.cpp), opened only for a window: beside
// the program in a build tree, in the library folder once installed.
std::unique_ptr<orva::platform::Platform> OpenSdlModule(std::string& error) {
  constexpr const char* kName = "orva-sdl.so";
  const std::string dir = orva::host::ExecutableDir();
  std::string path = dir + "/" + kName;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) path = dir + "/" ORVA_MODULE_FROM_BIN "/" + kName;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  using Open = orva::platform::Platform* (*)(std::string*);
  auto open = module ? reinterpret_cast<Open>(dlsym(module, "orva_open_sdl_platform")) : nullptr;
  if (!open) {
    error = std::string("the window back end could not be loaded (") + dlerror() +
            "); run with --headless to run without one";
    return nullptr;
  }
  return std::unique_ptr<orva::platform::Platform>(open(&error));
}

// The one place that chooses the back end: the desktop's, unless --headless. Null, with the
// reason in `error`, when there is no display.
std::unique_ptr<orva::platform::Platform> MakePlatform(const orva::host::Options& options,
                                                       std::string& error) {
  if (options.headless)
    return std::make_unique<orva::platform::HeadlessPlatform>(stderr, options.desktop);
  return OpenSdlModule(error);
}

int Run(int argc, char** argv) {
  using orva::host::CommandLine;
  CommandLine cl = orva::host::ParseCommandLine(std::span<const char* const>(argv + 1, argc - 1));
  switch (cl.action) {
    case CommandLine::Action::kHelp: std::fputs(orva::host::UsageText().c_str(), stdout); return 0;
    case CommandLine::Action::kVersion:
      std::fputs(orva::host::VersionText().c_str(), stdout);
      return 0;
    case CommandLine::Action::kUsageError:
      std::fprintf(stderr, "orva: %s\n", cl.error.c_str());
      return kUsageStatus;
    case CommandLine::Action::kRun: break;
  }

  auto folders = orva::host::ResolveFolders(cl.options, orva::host::ExecutableDir());
  if (auto* error = std::get_if<std::string>(&folders)) {
    std::fprintf(stderr, "orva: %s\n", error->c_str());
    return kUsageStatus;
  }

  // The event files are checked before anything runs: a bad script is a usage error.
  std::shared_ptr<orva::host::EventPlayer> player;
  std::shared_ptr<orva::host::EventRecorder> recorder;
  if (!cl.options.events.empty()) {
    auto script = orva::host::ReadEventScript(cl.options.events);
    if (auto* error = std::get_if<std::string>(&script)) {
      std::fprintf(stderr, "orva: %s\n", error->c_str());
      return kUsageStatus;
    }
    player = std::make_shared<orva::host::EventPlayer>(
        std::move(std::get<std::vector<orva::host::ScriptLine>>(script)));
  }
  if (!cl.options.record.empty()) {
    auto opened = orva::host::OpenRecording(cl.options.record);
    if (auto* error = std::get_if<std::string>(&opened)) {
      std::fprintf(stderr, "orva: %s\n", error->c_str());
      return kUsageStatus;
    }
    recorder = std::get<std::shared_ptr<orva::host::EventRecorder>>(opened);
  }

  std::string error;
  auto platform = MakePlatform(cl.options, error);
  if (!platform) {
    std::fprintf(stderr, "orva: %s\n", error.c_str());
    return kUsageStatus;
  }
  orva::host::InstallQuitSignals();
  orva::Host host(*platform);
  host.shell.player = std::move(player);
  host.shell.recorder = std::move(recorder);
  host.options = std::move(cl.options);
  host.folders = std::move(std::get<orva::Folders>(folders));
  return orva::host::RunToExit(host);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orva: internal error: %s\n", e.what());
    return 1;
  }
}
