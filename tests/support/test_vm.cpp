#include "support/test_vm.h"

#include <sys/mman.h>

#include <cstring>

#include "heap/heap.h"
#include "support/temp_dir.h"
#include "vm/interpreter.h"

namespace orva::test {

namespace {

constexpr uint64_t kPage = 4096;
constexpr uint64_t kMaxGuardedImage = uint64_t{1} << 20;

// The folders of every TestVm: whatever a program writes (debug.log, files) lands in one
// temporary folder that goes at the end of the process.
const std::string& ScratchFolder() {
  static const TempDir dir;
  static const std::string folder = dir.Sub("data") + "/";
  return folder;
}

// The end of the accessible part of a region reserved once per process: up to 1 MiB before it
// can be made accessible for a guarded image, and more than 4 GiB after it never are.
uint8_t* GuardArenaEnd() {
  static uint8_t* const end = [] {
    uint64_t span = kMaxGuardedImage + (uint64_t{1} << 32) + (1u << 20);
    void* region =
        mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (region == MAP_FAILED) std::abort();
    return static_cast<uint8_t*>(region) + kMaxGuardedImage;
  }();
  return end;
}

}  // namespace

TestVm::TestVm(const Layout& layout) {
  uint32_t stklim = layout.load_size + layout.zero_size;
  uint32_t stktop = stklim + layout.stack_size;
  uint32_t size = stktop + layout.heap_size;
  if (layout.guarded) {
    uint64_t mapped = (size + kPage - 1) / kPage * kPage;
    if (mapped > kMaxGuardedImage) std::abort();
    uint8_t* end = GuardArenaEnd();
    guarded_ = end - mapped;
    guarded_bytes_ = mapped;
    if (mprotect(guarded_, mapped, PROT_READ | PROT_WRITE)) std::abort();
    std::memset(guarded_, 0, mapped);
    host.mem = {end - size, size};
  } else {
    host.image_block.Allocate(size);
    host.mem = host.image_block.memory();
  }
  vm::Memory& m = host.mem;
  std::memcpy(m.base + vm::kOffMagic, "ORVA6", 6);
  m.SetU32At(vm::kOffLOADSIZE, layout.load_size);
  m.SetU32At(vm::kOffZEROSIZE, layout.zero_size);
  m.SetU32At(vm::kOffSTACKSIZE, layout.stack_size);
  m.SetU32At(vm::kOffHEAPSIZE, layout.heap_size);
  m.SetU32At(vm::kOffSTKLIM, stklim);
  m.SetU32At(vm::kOffSTKTOP, stktop);
  m.SetSP(stktop);
  m.SetU16At(vm::kOffHOSTVER, vm::kHostVersion);
  host.folders.user_data = host.folders.resource = ScratchFolder();
  heap::InitHeap(host, stktop, layout.heap_size);
  heap::AllocHeap(host, 4);
  host.machine.loaded_count = 1;
}

TestVm::~TestVm() {
  if (guarded_) mprotect(guarded_, guarded_bytes_, PROT_NONE);
}

uint32_t TestVm::Emit(std::initializer_list<uint32_t> words) {
  uint32_t first = here_;
  for (uint32_t w : words) {
    host.mem.SetU32At(here_, w);
    here_ += 4;
  }
  return first;
}

vm::Stop TestVm::Run(uint32_t pc) {
  host.mem.SetPC(pc);
  return vm::Interpret(host);
}

}  // namespace orva::test
