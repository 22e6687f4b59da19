// The host's version text for the program (window services command 14): the host version and
// the kernel's release, "ORVA 6.0 - Linux 6.1.0".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orva::host {

struct KernelVersion {
  uint32_t major = 0, minor = 0, patch = 0;
};

// The leading numbers of a kernel release such as "6.1.0-18-amd64"; missing ones are 0.
KernelVersion ParseKernelRelease(std::string_view release);

// The running kernel's version (uname).
KernelVersion RunningKernel();

std::string VersionText(const KernelVersion&);

// The version as the program receives it beside the text: major in bits 16-23, minor in bits
// 24-31, and 1.
uint32_t PackedVersion(const KernelVersion&);

}  // namespace orva::host
