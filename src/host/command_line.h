// The command line of `orva`: `orva [options] [GAME]`.
#pragma once

#include <span>
#include <string>

#include "host/options.h"

namespace orva::host {

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  Options options;
  std::string error;  // kUsageError: the one line for stderr, without "orva: " and line end
};

// `args` excludes the program name. Options may come before or after GAME, as "--opt VALUE" or
// "--opt=VALUE"; "--" ends the options.
CommandLine ParseCommandLine(std::span<const char* const> args);

std::string UsageText();
std::string VersionText();

}  // namespace orva::host
