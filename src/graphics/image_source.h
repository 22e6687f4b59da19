// Where the picture readers take their bytes from: a file opened through the stream adapter (so
// the name is rooted and refused as every other name of the program), or bytes in memory (tests
// and fuzzing targets). Positions are 32-bit, as BMP offsets and the file layer's are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orva {
struct Host;
}

namespace orva::graphics {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `n` bytes from the current position; fewer only at the end of the data or on an error.
  virtual size_t Read(void* out, size_t n) = 0;
  // Moves to `position` from the start; a position past the end is allowed (reads there give
  // nothing). False when the move fails.
  virtual bool Seek(uint32_t position) = 0;
  // True once a read has run into the end of the data, which tells a short file apart from a
  // failing one.
  virtual bool AtEnd() = 0;
};

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Read(void* out, size_t n) override;
  bool Seek(uint32_t position) override;
  bool AtEnd() override { return at_end_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  bool at_end_ = false;
};

// A file of the program, opened for reading ("rb": the user data folder, then the resources).
// Closed when the source goes.
class FileSource : public ByteSource {
 public:
  FileSource(Host& host, std::string_view name);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  bool is_open() const { return stream_ != 0; }
  size_t Read(void* out, size_t n) override;
  bool Seek(uint32_t position) override;
  bool AtEnd() override;

 private:
  Host& host_;
  uint32_t stream_;  // stream adapter handle; 0 when the open failed
  uint32_t position_ = 0;
};

}  // namespace orva::graphics
