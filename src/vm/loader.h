// The loader: reads "MAIN.QX" through the host file layer into the image, checks its header and
// lays out the image (header, code and data, zero-filled data, stack, handle heap).
#pragma once

#include <cstdint>
#include <optional>

namespace orva {
struct Host;
}

namespace orva::vm {

// The image layout that a header's four size fields describe, computed without wrapping.
struct Layout {
  uint32_t load_size, zero_size, stack_size, heap_size;
  uint32_t stklim;  // LOADSIZE + ZEROSIZE
  uint32_t stktop;  // STKLIM + STACKSIZE, also the heap start
  uint32_t total;   // STKTOP + HEAPSIZE, the bytes of the image
};

// Nullopt when LOADSIZE is smaller than the header or the image would not fit in 32-bit
// addresses.
std::optional<Layout> ComputeLayout(uint32_t load_size, uint32_t zero_size, uint32_t stack_size,
                                    uint32_t heap_size);

// Loads the image into host.image_block and points host.mem at it; initialises the heap and takes
// its first handle. False after showing the alert of the check that failed; no image then
// exists. Heap exhaustion at the first allocation is fatal (status 1) as any other.
bool LoadImage(Host&);

}  // namespace orva::vm
