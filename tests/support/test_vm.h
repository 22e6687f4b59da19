// A machine over an image built in memory: a fresh Host on the headless back end, an image of a
// chosen layout, and a cursor that places instruction words. Each test builds its own and throws
// it away.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/host.h"
#include "platform/headless/headless_platform.h"
#include "vm/fault.h"

namespace orva::test {

struct Layout {
  uint32_t load_size = 4096;
  uint32_t zero_size = 4096;
  uint32_t stack_size = 4096;
  uint32_t heap_size = 4096;
  // Places the image's last byte just before an inaccessible region larger than the 32-bit
  // address space, so that any access past the end of the image crashes the test. At most
  // 1 MiB; one guarded image at a time.
  bool guarded = false;
};

class TestVm {
 public:
  explicit TestVm(const Layout& layout = {});
  ~TestVm();
  TestVm(const TestVm&) = delete;
  TestVm& operator=(const TestVm&) = delete;

  platform::HeadlessPlatform platform{nullptr};
  Host host{platform};

  const vm::Memory& mem() const { return host.mem; }

  // Places words at the cursor and advances it; returns the address of the first.
  uint32_t Emit(std::initializer_list<uint32_t> words);
  void At(uint32_t address) { here_ = address; }

  // Runs the interpreter from `pc` with the header's SP, FP and FLAGS; no report.
  vm::Stop Run(uint32_t pc = vm::kEntryPoint);

  uint64_t R(uint32_t n) const { return host.mem.R(n); }
  void SetR(uint32_t n, uint64_t v) { host.mem.SetR(n, v); }
  uint32_t U32(uint32_t a) const { return host.mem.U32At(a); }
  uint64_t U64(uint32_t a) const { return host.mem.U64At(a); }
  void SetU32(uint32_t a, uint32_t v) { host.mem.SetU32At(a, v); }
  void SetU64(uint32_t a, uint64_t v) { host.mem.SetU64At(a, v); }

  const std::vector<std::string>& alerts() const { return platform.shown_alerts(); }

 private:
  uint32_t here_ = vm::kEntryPoint;
  uint8_t* guarded_ = nullptr;  // the pages opened for a guarded image
  uint64_t guarded_bytes_ = 0;
};

}  // namespace orva::test
