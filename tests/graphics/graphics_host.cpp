#include "graphics/graphics_host.h"

#include "graphics/screen.h"
#include "heap/heap.h"

namespace orva::graphics::testing {

namespace {
constexpr uint32_t kStackTop = 0x2000;
}

GraphicsHost::GraphicsHost(uint32_t heap_size) {
  host_.image_block.Allocate(kStackTop + heap_size);
  host_.mem = host_.image_block.memory();
  host_.mem.SetSP(kStackTop - 64);
  heap::InitHeap(host_, kStackTop, heap_size);
  heap::AllocHeap(host_, 4);
}

void GraphicsHost::SetUpScreen(int32_t w, int32_t h, bool started) {
  SetupScreen(host_, w, h);
  host_.machine.started = started;
}

bool GraphicsHost::NothingHeld() const {
  return host_.heap.host_pins == 0 && host_.heap.head[heap::kLocked] < 0 &&
         !host_.gfx.dst.is_open && !host_.gfx.src.is_open;
}

uint32_t GraphicsHost::Field(uint32_t hbm, int index) const {
  return host_.mem.U32At(host_.heap.entries[hbm].offset + 4 * index);
}
void GraphicsHost::SetField(uint32_t hbm, int index, uint32_t value) {
  host_.mem.SetU32At(host_.heap.entries[hbm].offset + 4 * index, value);
}
uint8_t* GraphicsHost::Block(uint32_t handle) const {
  return host_.mem.base + host_.heap.entries[handle].offset;
}
uint32_t GraphicsHost::Capacity(uint32_t handle) const {
  return host_.heap.entries[handle].capacity;
}

}  // namespace orva::graphics::testing
