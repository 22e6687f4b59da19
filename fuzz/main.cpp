// The libFuzzer entry of a fuzz executable, which links exactly one target.
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (orva::fuzz::Targets().size() != 1) {
    std::fprintf(stderr, "a fuzz executable links exactly one target\n");
    std::abort();
  }
  // A program under test may write files as big as it likes; past this size a write fails as
  // on a full disk, so the scratch folder stays small.
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit limit;
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 8 << 20);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const orva::fuzz::Entry entry = orva::fuzz::Targets().front().entry;
  entry({data, size});
  return 0;
}
