#include "graphics/image_source.h"

#include <algorithm>
#include <cstring>

#include "core/file_stream.h"

namespace orva::graphics {

size_t MemorySource::Read(void* out, size_t n) {
  const size_t count = position_ < size_ ? std::min(n, size_ - position_) : 0;
  if (count != 0) std::memcpy(out, data_ + position_, count);
  position_ += count;
  if (count < n) at_end_ = true;
  return count;
}

bool MemorySource::Seek(uint32_t position) {
  position_ = position;
  at_end_ = false;
  return true;
}

FileSource::FileSource(Host& host, std::string_view name)
    : host_(host), stream_(StreamOpen(host, name, "rb")) {}

FileSource::~FileSource() {
  if (stream_ != 0) StreamClose(host_, stream_);
}

size_t FileSource::Read(void* out, size_t n) {
  // The file layer counts in 32 bits: large reads go in pieces.
  auto* bytes = static_cast<uint8_t*>(out);
  size_t done = 0;
  while (done < n) {
    const size_t piece = std::min<size_t>(n - done, size_t{1} << 30);
    const size_t got = StreamRead(host_, bytes + done, 1, piece, stream_);
    done += got;
    if (got < piece) break;
  }
  position_ += static_cast<uint32_t>(done);
  return done;
}

bool FileSource::Seek(uint32_t position) {
  // Rows that follow each other need no seek; a seek empties the stream's buffer.
  if (position == position_ && !AtEnd()) return true;
  if (StreamSeek(host_, stream_, position, 0) != position) return false;
  position_ = position;
  return true;
}

bool FileSource::AtEnd() { return StreamEof(host_, stream_) == 1; }

}  // namespace orva::graphics
