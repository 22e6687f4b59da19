#include "host/version_text.h"

#include <sys/utsname.h>

#include <charconv>
#include <cstdio>

#include "vm/image.h"

namespace orva::host {

KernelVersion ParseKernelRelease(std::string_view release) {
  uint32_t parts[3] = {};
  const char* p = release.data();
  const char* end = p + release.size();
  for (uint32_t& part : parts) {
    auto [next, ec] = std::from_chars(p, end, part);
    if (ec != std::errc{}) {
      part = 0;
      break;
    }
    p = next;
    if (p == end || *p != '.') break;
    ++p;
  }
  return {parts[0], parts[1], parts[2]};
}

KernelVersion RunningKernel() {
  utsname name{};
  if (uname(&name) != 0) return {};
  return ParseKernelRelease(name.release);
}

std::string VersionText(const KernelVersion& k) {
  char text[96];
  std::snprintf(text, sizeof text, "ORVA %d.%d - Linux %u.%u.%u", vm::kHostVersion >> 8,
                vm::kHostVersion & 0xFF, k.major, k.minor, k.patch);
  return text;
}

uint32_t PackedVersion(const KernelVersion& k) {
  return (k.major & 0xFF) << 16 | (k.minor & 0xFF) << 24 | 1;
}

}  // namespace orva::host
