#include "host/startup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "audio/audio.h"
#include "core/host.h"
#include "host/run_loop.h"
#include "host/screenshot.h"
#include "vm/loader.h"
#include "vm/run_limit.h"
#include "vm/trace.h"

namespace orva::host {

namespace {

// A --ticks run is automation: it must end even if a message never returns.
constexpr double kTicksTimeLimit = 60;

}  // namespace

int RunHost(Host& host) {
  const Options& o = host.options;
  vm::SetTimeLimit(host, o.timeout ? *o.timeout : o.ticks ? kTicksTimeLimit : 0);
  if (!vm::LoadImage(host)) ExitProcess(host, 1);  // the loader has shown its alert
  ++host.machine.loaded_count;
  RunProgram(host);
  return 0;
}

void RunProgram(Host& host) {
  const Options& o = host.options;
  host.machine.predecoded = !o.reference_loop;
  if (o.trace || o.stats) {
    host.machine.tracer = std::make_shared<vm::Tracer>(
        o.trace ? stderr : nullptr, o.trace ? o.trace->first : 0, o.trace ? o.trace->second : 0);
  }
  RunLoadedProgram(host);
}

int RunToExit(Host& host) {
  int status;
  try {
    status = RunHost(host);
  } catch (const platform::ProcessExit& exit) {
    status = exit.status;
  }
  if (!audio::StopAudio(host)) status = 1;
  if (host.options.stats && host.machine.tracer) {
    std::fprintf(stderr, "orva: %llu instructions executed\n",
                 static_cast<unsigned long long>(host.machine.tracer->executed()));
  }
  const std::string& shot = host.options.screenshot;
  if (!shot.empty()) {
    std::string error;
    if (!WriteScreenshot(host, shot, error)) {
      std::fprintf(stderr, "orva: cannot write the screenshot %s: %s\n", shot.c_str(),
                   error.c_str());
      if (status == 0) status = 1;
    }
  }
  const std::string& dump = host.options.dump_image;
  if (!dump.empty() && host.mem.loaded()) {
    std::string error;
    if (!DumpImage(host, dump, error)) {
      std::fprintf(stderr, "orva: cannot write %s: %s\n", dump.c_str(), error.c_str());
      status = 1;
    }
  }
  return status;
}

bool DumpImage(const Host& host, const std::string& path, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(host.mem.base, 1, host.mem.size, f) == host.mem.size;
  if (!ok) error = std::strerror(errno);
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    error = std::strerror(errno);
  }
  return ok;
}

}  // namespace orva::host
