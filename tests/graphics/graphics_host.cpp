#include "graphics/graphics_host.h"

#include "graphics/screen.h"

namespace orva::graphics::testing {

GraphicsHost::GraphicsHost(uint32_t heap_size) {
  BareImage(heap_size);
  heap::AllocHeap(host, 4);  // handle 0, as the loader takes it
}

void GraphicsHost::SetUpScreen(int32_t w, int32_t h, bool started) {
  SetupScreen(host, w, h);
  host.machine.started = started;
}

bool GraphicsHost::NothingHeld() const {
  return host.heap.host_pins == 0 && host.heap.head[heap::kLocked] < 0 && !host.gfx.dst.is_open &&
         !host.gfx.src.is_open;
}

uint32_t GraphicsHost::Field(uint32_t hbm, int index) const {
  return host.mem.U32At(host.heap.entries[hbm].offset + 4 * index);
}
void GraphicsHost::SetField(uint32_t hbm, int index, uint32_t value) {
  host.mem.SetU32At(host.heap.entries[hbm].offset + 4 * index, value);
}
GraphicsHost::Geometry GraphicsHost::GetGeometry(uint32_t hbm) const {
  Geometry fields;
  for (int i = 0; i < 7; ++i) fields[i] = Field(hbm, i);
  return fields;
}
void GraphicsHost::SetGeometry(uint32_t hbm, const Geometry& fields) {
  for (int i = 0; i < 7; ++i) SetField(hbm, i, fields[i]);
}
uint8_t* GraphicsHost::Block(uint32_t handle) const {
  return host.mem.base + host.heap.entries[handle].offset;
}

}  // namespace orva::graphics::testing
