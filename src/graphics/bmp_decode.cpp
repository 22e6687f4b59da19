// BMP reading. The file, little-endian:
//
//   offset  size  field
//   ------  ----  -------------------------------------------------------------
//      0     2    type, "BM"
//      2     4    file size
//     10     4    offset of the pixel data
//     14     4    information header size (not used)
//     18     4    width, signed
//     22     4    height, signed; negative when the rows are stored top first
//     26     2    planes (not used)
//     28     2    bits per pixel: 24, or more (4 bytes per pixel are read then)
//     30     4    compression: 0
//     34     4    image size: the pixel data's length, or 0
//
// Rows are stored bottom row first unless the height is negative. A row is image size / rows
// bytes long when the image size is given, else ((bits per pixel * width + 31) / 32) * 4. The
// file must hold (file size - data offset) bytes of pixel data, and they must cover every row.
#include <algorithm>
#include <cstring>
#include <memory>

#include "graphics/image_decode.h"
#include "graphics/pixel.h"
#include "vm/image.h"

namespace orva::graphics {

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoFieldBytes = 24;  // the information header up to the image size
// Row padding up to this many bytes is read along with the rows instead of being skipped by a
// seek, which would empty the stream's buffer on every row.
constexpr uint64_t kReadAcross = 4096;
// Rows are read in blocks of about this size: few reads, and a buffer that stays in the cache.
constexpr size_t kBlockBytes = size_t{1} << 20;

struct Layout {
  uint32_t width, rows;
  bool top_first;
  uint32_t pixel_bytes;  // 3 or 4 bytes per pixel in the file
  uint32_t data_offset;
  uint64_t row_length;  // from one row's start to the next one's
};

// The layout the headers describe, or false when the file is not one we read or claims more
// than it holds. Nothing is allocated here.
bool ReadLayout(ByteSource& source, Layout& out) {
  uint8_t header[kFileHeaderBytes + kInfoFieldBytes];
  if (source.Read(header, kFileHeaderBytes) != kFileHeaderBytes) return false;
  if (header[0] != 'B' || header[1] != 'M') return false;
  const uint32_t file_size = vm::Ld32(header + 2), data_offset = vm::Ld32(header + 10);
  // The fields below must come from the information header, not from whatever follows it.
  if (data_offset < sizeof header) return false;
  if (source.Read(header + kFileHeaderBytes, kInfoFieldBytes) != kInfoFieldBytes) return false;
  const uint8_t* info = header + kFileHeaderBytes;
  const auto width = static_cast<int32_t>(vm::Ld32(info + 4));
  const auto height = static_cast<int32_t>(vm::Ld32(info + 8));
  const uint16_t bits = vm::Ld16(info + 14);
  const uint32_t compression = vm::Ld32(info + 16), image_size = vm::Ld32(info + 20);
  if (bits < 24 || compression != 0 || width <= 0 || height == 0) return false;

  const uint64_t rows = height > 0 ? height : -int64_t{height};
  const uint32_t pixel_bytes = bits == 24 ? 3 : 4;
  const uint64_t row_length =
      image_size != 0 ? image_size / rows : (uint64_t{bits} * uint32_t(width) + 31) / 32 * 4;
  if (file_size < data_offset) return false;
  const uint64_t data_bytes = file_size - data_offset;
  if (row_length > data_bytes / rows) return false;  // shorter than rows * row_length
  // Rows shorter than their pixels would overlap each other and, on the last row, run past
  // the data.
  if (row_length < uint64_t{pixel_bytes} * uint32_t(width)) return false;

  // The file must really hold everything up to the claimed end of the pixel data.
  uint8_t last;
  if (!source.Seek(file_size - 1) || source.Read(&last, 1) != 1) return false;

  out = {uint32_t(width), static_cast<uint32_t>(rows), height < 0, pixel_bytes, data_offset,
         row_length};
  return true;
}

}  // namespace

bool DecodeBmp(ByteSource& source, PixelSink& sink) {
  Layout f;
  if (!ReadLayout(source, f)) return false;
  uint8_t* pixels = sink.Begin(f.width, f.rows);
  if (!pixels) return false;

  // Rows whose padding is short are read together, many per read; others one by one, each
  // after a seek past the padding.
  const size_t out_row = size_t{f.width} * kBytesPerPixel;
  const size_t in_row = size_t{f.width} * f.pixel_bytes;
  const bool together = f.row_length - in_row <= kReadAcross;
  const size_t stride = together ? f.row_length : in_row;
  const size_t rows_per_read = together ? std::max<size_t>(1, kBlockBytes / stride) : 1;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[stride * std::min<size_t>(rows_per_read, f.rows)]);

  for (uint32_t r = 0; r < f.rows;) {
    const size_t n = std::min<size_t>(rows_per_read, f.rows - r);
    if (!source.Seek(static_cast<uint32_t>(f.data_offset + r * f.row_length)) ||
        source.Read(buffer.get(), n * stride) != n * stride)
      return false;
    for (size_t i = 0; i < n; ++i, ++r) {
      const uint32_t y = f.top_first ? r : f.rows - 1 - r;
      const uint8_t* in = buffer.get() + i * stride;
      uint8_t* out = pixels + y * out_row;
      if (f.pixel_bytes == kBytesPerPixel) {
        std::memcpy(out, in, out_row);
        continue;
      }
      for (uint32_t x = 0; x < f.width; ++x, in += 3, out += 4) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = 255;
      }
    }
  }
  return true;
}

}  // namespace orva::graphics
