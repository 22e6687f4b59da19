#include "support/image_file.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "heap/heap.h"

namespace orva::test {

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool PlaceImage(Host& host, const std::vector<uint8_t>& file) {
  if (file.size() < vm::kHeaderSize) return false;
  uint32_t load, zero, stack, heap_size;
  std::memcpy(&load, &file[vm::kOffLOADSIZE], 4);
  std::memcpy(&zero, &file[vm::kOffZEROSIZE], 4);
  std::memcpy(&stack, &file[vm::kOffSTACKSIZE], 4);
  std::memcpy(&heap_size, &file[vm::kOffHEAPSIZE], 4);
  uint64_t stktop = uint64_t{load} + zero + stack;
  if (load < vm::kHeaderSize || load > file.size() || stktop + heap_size > 0xFFFFFFFF) return false;
  if (!host.image_block.Allocate(static_cast<uint32_t>(stktop + heap_size))) return false;
  host.mem = host.image_block.memory();
  std::memcpy(host.mem.base, file.data(), load);
  host.mem.SetU32At(vm::kOffSTKLIM, load + zero);
  host.mem.SetU32At(vm::kOffSTKTOP, static_cast<uint32_t>(stktop));
  host.mem.SetSP(static_cast<uint32_t>(stktop));
  host.mem.SetU16At(vm::kOffHOSTVER, vm::kHostVersion);
  host.mem.SetU8At(vm::kOffHostInfo197, 0);
  host.mem.SetU16At(vm::kOffHostInfo198, 19);
  heap::InitHeap(host, static_cast<uint32_t>(stktop), heap_size);
  heap::AllocHeap(host, 4);
  host.machine.loaded_count = 1;
  return true;
}

}  // namespace orva::test
