// qxdis: disassembles a QX program image. Usage in docs/cli.md.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "image_disasm.h"

namespace {

constexpr const char* kUsage = "usage: qxdis MAIN.QX [--from ADDR] [--to ADDR]\n";

bool ParseAddress(std::string_view text, uint32_t* out) {
  std::string s(text);
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(s.c_str(), &end, 0);
  if (s.empty() || *end != '\0' || errno != 0 || v > UINT32_MAX || s[0] == '-') return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

// Reads the whole of a regular file. A pipe or a device is refused before anything is read: it
// might never end (a pipe without a writer would even block the open). Returns the error
// message, empty on success.
std::string ReadRegularFile(const std::string& path, std::vector<uint8_t>& bytes) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "cannot open " + path + ": " + std::strerror(errno);
  std::string error;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    error = "cannot read " + path + ": " + std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    error = path + ": not a regular file";
  } else {
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
      ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error = "cannot read " + path + ": " + std::strerror(errno);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    bytes.resize(got);  // a file that shrank meanwhile
  }
  ::close(fd);
  return error;
}

}  // namespace

int main(int argc, char** argv) {
  orva::qxdis::Options options;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--from" || a == "--to") {
      uint32_t v;
      if (i + 1 >= argc || !ParseAddress(argv[i + 1], &v)) {
        std::fprintf(stderr, "qxdis: %s needs an address (decimal or 0x...)\n%s", argv[i], kUsage);
        return 1;
      }
      (a == "--from" ? options.from : options.to) = v;
      ++i;
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "qxdis: unknown option %s\n%s", argv[i], kUsage);
      return 1;
    } else if (path.empty()) {
      path = a;
    } else {
      std::fprintf(stderr, "qxdis: more than one image\n%s", kUsage);
      return 1;
    }
  }
  if (path.empty()) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  std::vector<uint8_t> bytes;
  if (std::string error = ReadRegularFile(path, bytes); !error.empty()) {
    std::fprintf(stderr, "qxdis: %s\n", error.c_str());
    return 1;
  }
  options.name = path;
  std::string out, error;
  if (!orva::qxdis::DisassembleImage(bytes, options, out, error)) {
    std::fprintf(stderr, "qxdis: %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
