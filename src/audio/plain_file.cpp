#include "audio/plain_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orva::audio {

int OpenPlainFile(const std::string& path, std::string& why) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    why = "not a plain file";
    return -1;
  }
  return fd;
}

std::variant<std::vector<uint8_t>, std::string> ReadPlainFile(const std::string& path,
                                                              size_t max_bytes) {
  std::string why;
  int fd = OpenPlainFile(path, why);
  if (fd < 0) return why;
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  for (;;) {
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      why = std::strerror(errno);
      break;
    }
    if (got == 0) break;
    if (bytes.size() + static_cast<size_t>(got) > max_bytes) {
      why = "the file is too large";
      break;
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  ::close(fd);
  if (!why.empty()) return why;
  return bytes;
}

}  // namespace orva::audio
