#include "core/file_stream.h"

#include <limits>

#include "core/file_layer.h"

namespace orva {
namespace {

uint32_t Handle(uint32_t stream) { return stream - 1; }  // 0 becomes kNoFile

// Bytes for `count` elements of `size`, or 0 when they would not fit one file-layer call.
uint32_t Bytes(uint64_t size, uint64_t count) {
  if (size == 0 || count > std::numeric_limits<uint32_t>::max() / size) return 0;
  return static_cast<uint32_t>(size * count);
}

}  // namespace

uint32_t StreamOpen(Host& host, std::string_view name, std::string_view mode) {
  uint32_t file_mode = mode == "rb"    ? kModeRead
                       : mode == "wb"  ? kModeCreate
                       : mode == "w+b" ? kModeUpdate
                                       : 0;
  uint32_t handle = OpenFile(host, name, file_mode);
  return handle == kNoFile ? 0 : handle + 1;
}

uint64_t StreamRead(Host& host, void* buffer, uint64_t size, uint64_t count, uint32_t stream) {
  uint32_t bytes = Bytes(size, count);
  if (bytes == 0) return 0;
  return ReadFile(host, Handle(stream), static_cast<uint8_t*>(buffer), bytes) / size;
}

uint64_t StreamWrite(Host& host, const void* buffer, uint64_t size, uint64_t count,
                     uint32_t stream) {
  uint32_t bytes = Bytes(size, count);
  if (bytes == 0) return 0;
  return WriteFile(host, Handle(stream), static_cast<const uint8_t*>(buffer), bytes) / size;
}

uint32_t StreamSeek(Host& host, uint32_t stream, uint32_t offset, uint32_t origin) {
  return SeekFile(host, Handle(stream), offset, origin);
}

uint32_t StreamTell(Host& host, uint32_t stream) { return SeekFile(host, Handle(stream), 0, 1); }

uint32_t StreamEof(Host& host, uint32_t stream) { return FileEof(host, Handle(stream)); }

void StreamClose(Host& host, uint32_t stream) { CloseFile(host, Handle(stream)); }

void StreamDelete(Host& host, std::string_view name) { DeleteFile(host, name); }

}  // namespace orva
