#include "vm/image_block.h"

#include <sys/mman.h>

namespace orva::vm {

ImageBlock::~ImageBlock() { Release(); }

bool ImageBlock::Allocate(uint32_t size) {
  Release();
  // Map at least one byte so that an empty image still has a distinct, valid base.
  uint64_t bytes = size == 0 ? 1 : size;
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return false;
  base_ = static_cast<uint8_t*>(p);
  size_ = size;
  mapped_ = bytes;
  return true;
}

void ImageBlock::Release() {
  if (base_) munmap(base_, mapped_);
  base_ = nullptr;
  size_ = 0;
  mapped_ = 0;
}

}  // namespace orva::vm
