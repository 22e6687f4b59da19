#include "core/file_layer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>
#include <vector>

#include "core/host.h"

namespace orva {
namespace {

// True when `name` stays inside the folder it is rooted in: relative, no NUL, and no ".." that
// climbs above the folder at any point of the walk.
bool StaysInside(std::string_view name) {
  if (name.starts_with('/') || name.find('\0') != std::string_view::npos) return false;
  int depth = 0;
  while (!name.empty()) {
    size_t slash = name.find('/');
    std::string_view part = name.substr(0, slash);
    name = slash == std::string_view::npos ? std::string_view{} : name.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (--depth < 0) return false;
    } else {
      ++depth;
    }
  }
  return true;
}

std::FILE* Stream(Host& host, uint32_t handle) {
  FileTable& t = host.files;
  return handle < t.count ? t.slots[handle] : nullptr;
}

// Update streams need a repositioning between a write and a read; a seek by 0 is the standard one.
void PrepareFor(Host& host, uint32_t handle, LastIo io) {
  LastIo& last = host.files.last_io[handle];
  if (last != io && last != LastIo::kNone) std::fseek(host.files.slots[handle], 0, SEEK_CUR);
  last = io;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Opens `path` as a stream, but only when it is a regular file or a folder: a named pipe, a
// device or a socket in either folder fails at once, as a missing file does. The open itself
// cannot block (a pipe without a writer would wait forever); the stream then blocks as usual.
std::FILE* OpenStream(const std::string& path, int flags, const char* access) {
  int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* f = ::fdopen(fd, access);
  if (!f) ::close(fd);
  return f;
}

// Whether `path` names something that could be opened for reading; never opens it.
bool Exists(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

// Creates every missing folder on the way to the file at `path`: walks back from the file's folder
// to the first one that exists, then creates the others from the outermost inwards. Failures
// show up when the file is opened.
void CreateMissingFolders(const std::string& path) {
  size_t end = path.rfind('/');
  if (end == std::string::npos || end == 0) return;
  std::vector<size_t> missing;  // lengths of the missing folders, innermost first
  while (!IsFolder(path.substr(0, end))) {
    missing.push_back(end);
    size_t slash = path.rfind('/', end - 1);
    if (slash == std::string::npos || slash == 0) break;
    end = slash;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    ::mkdir(path.substr(0, *it).c_str(), 0777);
}

}  // namespace

std::optional<std::string> RootPath(const Host& host, std::string_view name, Root root) {
  if (name.starts_with("../MUSIC")) name.remove_prefix(3);
  if (!StaysInside(name)) return std::nullopt;
  const std::string& folder =
      root == Root::kUserData ? host.folders.user_data : host.folders.resource;
  if (folder.size() + name.size() >= kPathBytes) return std::nullopt;
  std::string path;
  path.reserve(folder.size() + name.size());
  path.append(folder).append(name);
  return path;
}

uint32_t OpenFile(Host& host, std::string_view name, uint32_t mode) {
  FileTable& t = host.files;
  // Refuse before touching anything: a create would otherwise truncate a file it cannot keep.
  if (t.count >= kFileSlots) return kNoFile;

  std::FILE* f = nullptr;
  if (mode == kModeRead) {
    for (Root root : {Root::kUserData, Root::kResource}) {
      auto path = RootPath(host, name, root);
      if (path && (f = OpenStream(*path, O_RDONLY, "rb"))) break;
    }
  } else {
    auto path = RootPath(host, name, Root::kUserData);
    if (!path) return kNoFile;
    if (!Exists(*path)) CreateMissingFolders(*path);
    if (mode == kModeUpdate) {
      f = OpenStream(*path, O_RDWR, "rb+");
    } else if (mode == kModeCreate) {
      // Truncated only once it is known to be a regular file.
      f = OpenStream(*path, O_RDWR | O_CREAT, "wb+");
      if (f && ::ftruncate(fileno(f), 0) != 0) {
        std::fclose(f);
        f = nullptr;
      }
    } else {
      f = OpenStream(*path, O_RDONLY, "rb");
    }
  }
  if (!f) return kNoFile;

  uint32_t handle = t.count++;
  t.slots[handle] = f;
  t.last_io[handle] = LastIo::kNone;
  return handle;
}

void CloseFile(Host& host, uint32_t handle) {
  FileTable& t = host.files;
  if (handle >= t.count) return;
  if (t.slots[handle]) std::fclose(t.slots[handle]);
  t.slots[handle] = nullptr;
  while (t.count > 0 && !t.slots[t.count - 1]) --t.count;
}

uint32_t ReadFile(Host& host, uint32_t handle, uint8_t* buffer, uint32_t count) {
  std::FILE* f = Stream(host, handle);
  if (!f || !buffer || std::feof(f)) return 0;
  PrepareFor(host, handle, LastIo::kRead);
  return static_cast<uint32_t>(std::fread(buffer, 1, count, f));
}

uint32_t WriteFile(Host& host, uint32_t handle, const uint8_t* buffer, uint32_t count) {
  std::FILE* f = Stream(host, handle);
  if (!f || !buffer) return 0;
  PrepareFor(host, handle, LastIo::kWrite);
  return static_cast<uint32_t>(std::fwrite(buffer, 1, count, f));
}

uint32_t SeekFile(Host& host, uint32_t handle, uint32_t offset, uint32_t origin) {
  std::FILE* f = Stream(host, handle);
  if (!f || origin > 2) return kNoFile;
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (fseeko(f, static_cast<off_t>(offset), kWhence[origin]) != 0) return kNoFile;
  host.files.last_io[handle] = LastIo::kNone;
  off_t position = ftello(f);
  return position < 0 ? kNoFile : static_cast<uint32_t>(position);
}

uint32_t FileEof(Host& host, uint32_t handle) {
  std::FILE* f = Stream(host, handle);
  if (!f) return kNoFile;
  return std::feof(f) ? 1 : 0;
}

uint32_t FileInfo(Host& host, std::string_view name, uint32_t* mtime, uint32_t* kind) {
  std::optional<std::string> found;
  struct stat st;
  for (Root root : {Root::kUserData, Root::kResource}) {
    auto path = RootPath(host, name, root);
    if (path && ::stat(path->c_str(), &st) == 0) {
      found = std::move(path);
      break;
    }
  }
  if (!found || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) return kNoFile;
  if (mtime) *mtime = static_cast<uint32_t>(st.st_mtime);
  if (kind) *kind = S_ISDIR(st.st_mode) ? 2 : 1;

  std::FILE* f = OpenStream(*found, O_RDONLY, "rb");
  if (!f) return kNoFile;
  // A folder's stream has no end to seek to; its size is what the file system records.
  off_t size = S_ISDIR(st.st_mode) ? st.st_size : -1;
  if (size < 0 && fseeko(f, 0, SEEK_END) == 0) size = ftello(f);
  std::fclose(f);
  return size < 0 ? kNoFile : static_cast<uint32_t>(size);
}

uint32_t MakeDir(Host& host, std::string_view name) {
  auto path = RootPath(host, name, Root::kUserData);
  if (!path) return kNoFile;
  if (::mkdir(path->c_str(), 0777) == 0 || errno == EEXIST) return 0;
  return kNoFile;
}

uint32_t RemoveDir(Host& host, std::string_view name) {
  auto path = RootPath(host, name, Root::kUserData);
  if (!path || ::rmdir(path->c_str()) != 0) return kNoFile;
  return 0;
}

void DeleteFile(Host& host, std::string_view name) {
  if (name.empty()) return;
  if (auto path = RootPath(host, name, Root::kUserData)) ::unlink(path->c_str());
}

void MoveFile(Host& host, std::string_view from, std::string_view to) {
  auto source = RootPath(host, from, Root::kUserData);
  auto target = RootPath(host, to, Root::kUserData);
  if (!source || !target) return;
  // The move must never replace an existing file.
  if (::renameat2(AT_FDCWD, source->c_str(), AT_FDCWD, target->c_str(), RENAME_NOREPLACE) == 0)
    return;
  if (errno != EINVAL && errno != ENOSYS) return;
  // A file system without the no-replace flag: check, then rename.
  struct stat st;
  if (::lstat(target->c_str(), &st) != 0 && errno == ENOENT)
    ::rename(source->c_str(), target->c_str());
}

void AppendDebugLog(Host& host, std::string_view text) {
  uint32_t handle = OpenFile(host, "debug.log", kModeUpdate);
  if (handle == kNoFile) handle = OpenFile(host, "debug.log", kModeCreate);
  if (handle == kNoFile) return;
  SeekFile(host, handle, 0, 2);
  WriteFile(host, handle, reinterpret_cast<const uint8_t*>(text.data()),
            static_cast<uint32_t>(text.size()));
  CloseFile(host, handle);
}

void CloseAllFiles(Host& host) {
  for (std::FILE*& f : host.files.slots) {
    if (f) std::fclose(f);
    f = nullptr;
  }
  host.files.count = 0;
}

}  // namespace orva
