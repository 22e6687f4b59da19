// A fresh Host on the headless back end whose user data folder ("data/") and resource folder
// ("res/") live in a temp folder; QX image files built as bytes.
#pragma once

#include <algorithm>
#include <cstring>

#include "core/host.h"
#include "heap/heap.h"
#include "platform/headless/headless_platform.h"
#include "support/temp_dir.h"

namespace orva::test {

struct ImageFields {
  uint32_t load_size = 1024, zero_size = 256, stack_size = 4096, heap_size = 65536;
  uint8_t major = 6, minor = 0;
};

// A "MAIN.QX" of LOADSIZE bytes (at least the header) whose body byte at offset i is i * 7.
inline std::vector<uint8_t> BuildImage(const ImageFields& f) {
  std::vector<uint8_t> b(std::max<uint32_t>(f.load_size, vm::kHeaderSize), 0);
  for (size_t i = vm::kHeaderSize; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7);
  std::memcpy(&b[vm::kOffMagic], "ORVA6", 6);
  b[vm::kOffReqMajor] = f.major;
  b[vm::kOffReqMinor] = f.minor;
  uint32_t sizes[] = {f.load_size, f.zero_size, f.stack_size, f.heap_size};
  for (int i = 0; i < 4; ++i) vm::St32(&b[vm::kOffLOADSIZE + 8 * i], sizes[i]);
  return b;
}

struct TestHost {
  static constexpr uint32_t kHeapStart = 4096;
  TestHost() : host(platform) {
    host.folders.user_data = dir.Sub("data") + "/";
    host.folders.resource = dir.Sub("res") + "/";
  }
  std::string DataPath(const std::string& name) const { return host.folders.user_data + name; }
  std::string ResPath(const std::string& name) const { return host.folders.resource + name; }
  const std::vector<std::string>& alerts() const { return platform.shown_alerts(); }

  // An image without the loader: `heap_size` bytes of heap from address kHeapStart.
  void BareImage(uint32_t heap_size) {
    host.image_block.Allocate(kHeapStart + heap_size);
    host.mem = host.image_block.memory();
    heap::InitHeap(host, kHeapStart, heap_size);
  }

  TempDir dir;
  platform::HeadlessPlatform platform{nullptr};
  Host host;
};

// The status with which `f` ends the process, or -1 when it returns.
template <typename F>
int ExitStatusOf(F&& f) {
  try {
    f();
  } catch (const platform::ProcessExit& e) {
    return e.status;
  }
  return -1;
}

}  // namespace orva::test
