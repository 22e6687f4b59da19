// DrawText with any text, box, flags and colours, on the screen, the text scratch bitmap or a
// heap bitmap: it answers a byte count within its text and leaves nothing pinned, locked or
// open; the sanitizers watch every write. Input: flags (4 bytes), x, y, w, h (2 bytes each,
// signed), the bitmap (1 byte), background and colour (4 bytes each), then the text. One host
// serves every input, so the fonts are loaded once.
#include <algorithm>
#include <array>

#include "core/host.h"
#include "graphics/bitmaps.h"
#include "graphics/screen.h"
#include "graphics/text.h"
#include "harness.h"
#include "heap/heap.h"
#include "platform/headless/headless_platform.h"

namespace orva::fuzz {
namespace {

constexpr uint32_t kHeapStart = 4096, kHeapSize = 1 << 18;

struct TextHost {
  TextHost() : host(platform) {
    host.image_block.Allocate(kHeapStart + kHeapSize);
    host.mem = host.image_block.memory();
    heap::InitHeap(host, kHeapStart, kHeapSize);
    heap::AllocHeap(host, 4);               // handle 0, as the loader takes it
    graphics::SetupScreen(host, 320, 240);  // a scratch bitmap of 320 x 16
    host.machine.started = true;
    bitmap = graphics::CreateBitmap(host, 64, 24);
  }
  platform::HeadlessPlatform platform{nullptr};
  Host host;
  uint32_t bitmap;
};

int32_t Coordinate(Reader& in) { return static_cast<int16_t>(in.Byte() | in.Byte() << 8); }

}  // namespace
}  // namespace orva::fuzz

ORVA_FUZZ_TARGET(text_drawing) {
  using namespace orva;
  // Kept for the process, so fonts load once; destroyed at exit, since the leak checker cannot
  // see what fontconfig holds through its mapped cache files.
  static fuzz::TextHost text_host;
  fuzz::TextHost* const t = &text_host;
  fuzz::Reader in(input);
  uint32_t flags = in.U32();
  int32_t x = fuzz::Coordinate(in), y = fuzz::Coordinate(in), w = fuzz::Coordinate(in),
          h = fuzz::Coordinate(in);
  static constexpr uint32_t kScratch = 0xFFFFFFFE;
  uint32_t target = std::array{graphics::kScreen, kScratch, t->bitmap}[in.Byte() % 3];
  uint32_t background = in.U32(), colour = in.U32();
  std::string_view text = in.Rest();

  uint32_t r = graphics::DrawText(t->host, target, text, x, y, w, h, flags, background, colour);
  if (text.size() <= 0xFFFF) FUZZ_CHECK((r & 0xFFFF) <= std::min(text.size(), text.find('\0')));
  const heap::Heap& hp = t->host.heap;
  FUZZ_CHECK(hp.host_pins == 0 && hp.head[heap::kLocked] < 0);
  FUZZ_CHECK(!t->host.gfx.dst.is_open && !t->host.gfx.src.is_open);
}
