// A program run in the background, for tests and benchmarks that act on it while it runs.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace orva::test {

class Child {
 public:
  // Starts `argv` with the environment changed by `env` (an empty value unsets); its output
  // goes to `output` (when given) or nowhere.
  Child(const std::vector<std::string>& argv,
        const std::vector<std::pair<std::string, std::string>>& env = {},
        const std::string& output = {}) {
    pid_ = fork();
    if (pid_ != 0) return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // a test that dies takes its servers with it
    for (const auto& [name, value] : env) {
      if (value.empty())
        unsetenv(name.c_str());
      else
        setenv(name.c_str(), value.c_str(), 1);
    }
    int out =
        open(output.empty() ? "/dev/null" : output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(out, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  ~Child() {
    if (running()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  bool running() const { return pid_ > 0 && status_ == kRunning; }

  // The exit status once it has ended within `timeout_ms` (-1 for a signal), else kRunning.
  int Wait(int timeout_ms) {
    for (int waited = 0; running(); waited += 10) {
      int status;
      if (waitpid(pid_, &status, WNOHANG) == pid_)
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      else if (waited >= timeout_ms)
        break;
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
  }

  static constexpr int kRunning = -2;

 private:
  pid_t pid_ = -1;
  int status_ = kRunning;
};

// Polls `done` every 10 ms for up to `timeout_ms`; true when it became true.
template <typename F>
bool WaitFor(F&& done, int timeout_ms) {
  for (int waited = 0;; waited += 10) {
    if (done()) return true;
    if (waited >= timeout_ms) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace orva::test
