// The copy blend over one run of pixels: the inner loop of Blit, and so of every sprite, tile
// and line of text. The vector kernels give exactly the scalar CopyBlend (blend.h) for every
// input; which one runs is chosen once, by what the processor offers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orva::graphics {

enum class BlitKernel { kScalar, kSse2, kAvx2 };

// Blends n source pixels onto n destination pixels, in order. Runs whose destination starts
// inside the source run (an overlapping copy within one bitmap, rightwards) go pixel by pixel, so
// that each pixel reads what the pixels before it wrote, as a plain loop would.
void CopyBlendRow(uint8_t* dst, const uint8_t* src, size_t n, bool invert);

// The same with a chosen kernel; false when this processor cannot run it (nothing is drawn).
// For tests and benchmarks.
bool CopyBlendRowWith(BlitKernel, uint8_t* dst, const uint8_t* src, size_t n, bool invert);

// The kernel CopyBlendRow uses on this processor.
BlitKernel BestBlitKernel();

}  // namespace orva::graphics
