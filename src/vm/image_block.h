// Ownership of the image's memory. The block is mapped with mmap rather than taken from the heap
// allocator: it is zero-filled for free, a failed request comes back as a plain error instead of
// an allocator abort, and the mapping leaves room for guard pages should the interpreter want them.
#pragma once

#include <cstdint>

#include "vm/image.h"

namespace orva::vm {

class ImageBlock {
 public:
  ImageBlock() = default;
  ~ImageBlock();
  ImageBlock(const ImageBlock&) = delete;
  ImageBlock& operator=(const ImageBlock&) = delete;

  // Maps `size` zero-filled bytes; false when the system refuses. Replaces any earlier block.
  bool Allocate(uint32_t size);
  void Release();

  Memory memory() const { return {base_, size_}; }

 private:
  uint8_t* base_ = nullptr;
  uint32_t size_ = 0;
  uint64_t mapped_ = 0;
};

}  // namespace orva::vm
