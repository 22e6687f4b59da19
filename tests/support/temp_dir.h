// A fresh folder under $TMPDIR (or /tmp) for one test, removed with its contents afterwards, and
// small whole-file helpers.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace orva::test {

class TempDir {
 public:
  TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/orva-test-XXXXXX";
    if (!mkdtemp(path_.data())) std::abort();
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path()/name, created with the folders on the way.
  std::string Sub(const std::string& name) const {
    std::filesystem::create_directories(path_ + "/" + name);
    return path_ + "/" + name;
  }

 private:
  std::string path_;
};

inline void WriteText(const std::string& path, std::string_view text) {
  std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));
}
inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& b) {
  WriteText(path, std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}
// The whole file, or "<missing>".
inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

}  // namespace orva::test
