#include "graphics/image_files.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "core/file_layer.h"
#include "core/host.h"
#include "graphics/bitmaps.h"
#include "graphics/image_decode.h"
#include "graphics/png_encode.h"
#include "heap/heap.h"
#include "vm/image.h"

namespace orva::graphics {

namespace {

// Decodes into a new heap bitmap. The bitmap is created only once the picture's size is known
// and the heap has room for it, and the reader then fills it through a source binding.
class BitmapSink : public PixelSink {
 public:
  explicit BitmapSink(Host& host) : host_(host) {}

  uint8_t* Begin(uint32_t width, uint32_t height) override {
    const uint64_t bytes = uint64_t{width} * kBytesPerPixel * height;
    if (width == 0 || height == 0 || bytes > UINT32_MAX) return nullptr;
    const uint32_t blocks[] = {kHeaderBytes, static_cast<uint32_t>(bytes)};
    if (!heap::HeapHasRoom(host_, blocks)) return nullptr;
    hbm_ = CreateBitmap(host_, width, height);
    binding_.emplace(host_, hbm_);
    return binding_->surface().pixels;
  }

  // The bitmap when the read succeeded; otherwise it is freed and the answer is 0.
  uint32_t Finish(bool ok) {
    binding_.reset();
    if (ok && hbm_ != 0) return hbm_;
    if (hbm_ != 0) FreeBitmap(host_, hbm_);
    return 0;
  }

 private:
  Host& host_;
  uint32_t hbm_ = 0;
  std::optional<SrcBinding> binding_;
};

uint32_t Load(Host& host, std::string_view name, bool (*decode)(ByteSource&, PixelSink&)) {
  FileSource source(host, name);
  if (!source.is_open()) return 0;
  BitmapSink sink(host);
  return sink.Finish(decode(source, sink));
}

constexpr uint32_t kBmpHeaderBytes = 54;
constexpr size_t kBlockBytes = size_t{1} << 20;  // BMP rows are written in blocks of this size

// The 14-byte file header and the 40-byte information header of a 32-bit BMP stored bottom row
// first, at 2947 pixels per metre (about 75 per inch).
void BuildBmpHeader(uint8_t* h, uint32_t width, uint32_t height, uint32_t image_bytes) {
  std::memset(h, 0, kBmpHeaderBytes);
  h[0] = 'B';
  h[1] = 'M';
  vm::St32(h + 2, image_bytes + kBmpHeaderBytes);
  vm::St32(h + 10, kBmpHeaderBytes);
  uint8_t* info = h + 14;
  vm::St32(info, 40);
  vm::St32(info + 4, width);
  vm::St32(info + 8, height);
  vm::St16(info + 12, 1);
  vm::St16(info + 14, 32);
  vm::St32(info + 20, image_bytes);
  vm::St32(info + 24, 2947);
  vm::St32(info + 28, 2947);
}

// Closes the file when the save is over, whichever way it ends.
struct OpenedFile {
  Host& host;
  uint32_t handle;
  ~OpenedFile() {
    if (handle != kNoFile) CloseFile(host, handle);
  }
  bool Write(const uint8_t* bytes, uint32_t count) {
    return WriteFile(host, handle, bytes, count) == count;
  }
};

}  // namespace

uint32_t LoadBitmapFile(Host& host, std::string_view name) { return Load(host, name, DecodeImage); }
uint32_t LoadBmp(Host& host, std::string_view name) { return Load(host, name, DecodeBmp); }
uint32_t LoadPng(Host& host, std::string_view name) { return Load(host, name, DecodePng); }

uint32_t SaveBitmapFile(Host& host, uint32_t hbm, std::string_view name, uint32_t format) {
  switch (format) {
    case 0: return SaveBmp(host, hbm, name);
    case 1: return SavePng(host, hbm, name);
    default: return 0;
  }
}

uint32_t SaveBmp(Host& host, uint32_t hbm, std::string_view name) {
  SrcBinding src(host, hbm);
  const Surface& s = src.surface();
  if (!s.drawable() || s.width <= 0 || s.height <= 0) return 0;  // no file for nothing
  // Rows are written width * 4 bytes long. A header the program widened (rowBytes beyond
  // width * 4) would otherwise have its last row read past the end of the pixel block.
  const uint32_t row = static_cast<uint32_t>(s.width) * kBytesPerPixel;
  const uint64_t image_bytes = uint64_t{row} * static_cast<uint32_t>(s.height);
  if (image_bytes > UINT32_MAX - kBmpHeaderBytes) return 0;

  // The header and the rows, bottom row first, go out in blocks of whole rows: few writes.
  const size_t rows_per_write = std::max<size_t>(1, kBlockBytes / row);
  std::unique_ptr<uint8_t[]> block(new (
      std::nothrow) uint8_t[kBmpHeaderBytes + row * std::min<size_t>(rows_per_write, s.height)]);
  if (!block) return 0;
  OpenedFile file{host, OpenFile(host, name, kModeCreate)};
  if (file.handle == kNoFile) return 0;
  BuildBmpHeader(block.get(), s.width, s.height, static_cast<uint32_t>(image_bytes));
  size_t used = kBmpHeaderBytes;
  for (int32_t y = s.height - 1; y >= 0; --y) {
    std::memcpy(block.get() + used, s.At(0, y), row);
    used += row;
    if (used >= rows_per_write * row || y == 0) {
      if (!file.Write(block.get(), static_cast<uint32_t>(used))) return 0;
      used = 0;
    }
  }
  return 1;
}

uint32_t SavePng(Host& host, uint32_t hbm, std::string_view name) {
  std::optional<std::vector<uint8_t>> png;
  {
    SrcBinding src(host, hbm);
    const Surface& s = src.surface();
    if (!s.drawable() || s.width <= 0 || s.height <= 0) return 0;
    // The encoder reads red, green, blue, alpha: p2, p1, p0, p3. A copy with p0 and p2
    // exchanged leaves the bitmap untouched whatever happens.
    const size_t row = size_t(s.width) * kBytesPerPixel;
    std::unique_ptr<uint8_t[]> rgba(new (std::nothrow) uint8_t[row * size_t(s.height)]);
    if (!rgba) return 0;
    for (int32_t y = 0; y < s.height; ++y) {
      const uint8_t* in = s.At(0, y);
      uint8_t* out = rgba.get() + row * size_t(y);
      for (int32_t x = 0; x < s.width; ++x) {
        uint32_t v;
        std::memcpy(&v, in + 4 * size_t(x), 4);
        v = (v & 0xFF00FF00) | ((v >> 16) & 0xFF) | ((v & 0xFF) << 16);
        std::memcpy(out + 4 * size_t(x), &v, 4);
      }
    }
    png = EncodePng(rgba.get(), uint32_t(s.width), uint32_t(s.height));
  }
  if (!png || png->size() > UINT32_MAX) return 0;
  OpenedFile file{host, OpenFile(host, name, kModeCreate)};
  if (file.handle == kNoFile) return 0;
  return file.Write(png->data(), static_cast<uint32_t>(png->size())) ? 1 : 0;
}

}  // namespace orva::graphics
