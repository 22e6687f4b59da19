#include "harness.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace orva::fuzz {

namespace fs = std::filesystem;

namespace {

std::vector<Target>& Registry() {
  static std::vector<Target> targets;
  return targets;
}

// A memory file system keeps a target that writes files (a profile save syncs to the disk) fast
// and spares the disk; otherwise $TMPDIR or /tmp.
std::string TempBase() {
  if (::access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

}  // namespace

const std::vector<Target>& Targets() { return Registry(); }

Registration::Registration(const char* name, Entry entry) { Registry().push_back({name, entry}); }

void CheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

uint8_t Reader::Byte() {
  if (rest_.empty()) return 0;
  uint8_t b = rest_[0];
  rest_ = rest_.subspan(1);
  return b;
}

uint32_t Reader::U32() {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t{Byte()} << (8 * i);
  return v;
}

uint64_t Reader::U64() { return U32() | uint64_t{U32()} << 32; }

std::string_view Reader::String() {
  size_t n = std::min<size_t>(Byte(), rest_.size());
  std::string_view s(reinterpret_cast<const char*>(rest_.data()), n);
  rest_ = rest_.subspan(n);
  return s;
}

std::string_view Reader::Rest() {
  std::string_view s = Text(rest_);
  rest_ = {};
  return s;
}

Scratch::Scratch(std::string_view tag) {
  root_ = TempBase() + "/orva-fuzz-" + std::string(tag) + "-XXXXXX";
  if (!::mkdtemp(root_.data())) {
    std::perror("orva fuzz: cannot create a scratch folder");
    std::abort();
  }
  data_ = root_ + "/data/";
  res_ = root_ + "/res/";
  fs::create_directories(data_);
  fs::create_directories(res_);
}

Scratch::~Scratch() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void Scratch::ClearData() const {
  std::error_code ec;
  for (fs::directory_iterator it(data_, ec), end; !ec && it != end; it.increment(ec))
    fs::remove_all(it->path(), ec);
}

void Scratch::Write(const std::string& path, std::string_view bytes) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "orva fuzz: cannot write %s\n", path.c_str());
    std::abort();
  }
}

}  // namespace orva::fuzz
