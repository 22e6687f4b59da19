#include "services/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace orva::services {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Makes a rename in `folder` durable; best effort, as not every file system supports it.
void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Opens a new temporary file next to `path`, hidden (a leading ".") so that the file finder
// never lists a leftover. The mode is filtered by the umask, as for any new file.
int CreateTemporary(const std::filesystem::path& path, std::string& temp_path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%d.%d.tmp", static_cast<int>(::getpid()), attempt);
    temp_path = (path.parent_path() / ("." + path.filename().string() + suffix)).string();
    int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool ReplaceFile(const std::string& path, std::string_view bytes) {
  std::filesystem::path target(path);
  if (!target.has_filename()) return false;
  std::error_code ec;
  std::filesystem::create_directories(target.parent_path(), ec);  // 0777 less the umask

  std::string temp;
  int fd = CreateTemporary(target, temp);
  if (fd < 0) return false;
  struct stat old;
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);

  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncFolder(target.parent_path().string());
  return true;
}

}  // namespace orva::services
