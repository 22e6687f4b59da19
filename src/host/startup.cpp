#include "host/startup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "vm/loader.h"

namespace orva::host {

int RunHost(Host& host) {
  if (!vm::LoadImage(host)) ExitProcess(host, 1);  // the loader has shown its alert
  ++host.machine.loaded_count;
  RunProgram(host);
  return 0;
}

void RunProgram(Host&) {
  // The machine arrives here: SetupScreen, the second loaded count, the started flag, ForceMsg 1
  // and 2, the initialised flag, PostMsg 9 and 8, then the timer loop.
}

int RunToExit(Host& host) {
  int status;
  try {
    status = RunHost(host);
  } catch (const platform::ProcessExit& exit) {
    status = exit.status;
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
