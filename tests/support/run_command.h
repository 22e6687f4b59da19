// Runs one of the project's programs as a user would, through the shell.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace orva::test {

struct Ran {
  int status = -1;  // the exit status, or -1 when the program did not exit
  std::string out, err;
};

// Runs `command` in `cwd` (the current folder when empty); the output goes to files, so a chatty
// run cannot block.
inline Ran RunCommand(const std::string& command, const std::string& cwd = {}) {
  const TempDir io;
  const std::string line = (cwd.empty() ? "" : "cd '" + cwd + "' && ") + command + " >'" +
                           io.path() + "/out' 2>'" + io.path() + "/err'";
  const int status = std::system(line.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(io.path() + "/out"),
          ReadText(io.path() + "/err")};
}

}  // namespace orva::test
