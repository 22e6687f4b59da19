// Process entry: parse the command line, pick a back end, run the host.
#include <cstdio>

int main() {
  std::puts("orva: nothing to run yet");
  return 0;
}
