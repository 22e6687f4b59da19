// The host file layer: every file the host touches for the program, and its own "MAIN.QX" and
// "debug.log". Relative names are rooted in the user data folder or the resource folder; open
// files live in a table of 16 slots addressed by small integer handles.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace orva {

struct Host;

inline constexpr uint32_t kNoFile = 0xFFFFFFFF;
inline constexpr uint32_t kFileSlots = 16;
inline constexpr uint32_t kModeRead = 32768;    // existing file, read; data folder then resources
inline constexpr uint32_t kModeUpdate = 32770;  // existing file, read and write; data folder
inline constexpr uint32_t kModeCreate = 33538;  // create or truncate, read and write; data folder
inline constexpr size_t kPathBytes = 1024;      // a rooted path and its NUL must fit

// The two folders every relative name is rooted in, each an absolute path ending in "/".
struct Folders {
  std::string bundle;     // the game folder itself (no trailing "/")
  std::string resource;   // where "MAIN.QX" and the program's resources live
  std::string user_data;  // per-user writable folder
  std::string game_name;
};

enum class Root { kUserData, kResource };

// How a slot's stream was last used. A stream opened for update must be repositioned between a
// write and a read (and back); the layer does that itself, so programs can alternate freely.
enum class LastIo : uint8_t { kNone, kRead, kWrite };

struct FileTable {
  std::array<std::FILE*, kFileSlots> slots{};
  std::array<LastIo, kFileSlots> last_io{};
  uint32_t count = 0;  // every slot from count up is empty
};

// The rooted path of `name`, or nullopt when it may not be rooted (absolute, climbing out of the
// folder, holding a NUL) or does not fit in 1024 bytes. A name starting with "../MUSIC" loses its
// first three characters first, so ../MUSIC/x.mid and MUSIC/x.mid name the same file.
std::optional<std::string> RootPath(const Host&, std::string_view name, Root);

// A handle, or kNoFile. Mode kModeRead looks in the user data folder and then the resource folder;
// every other mode works in the user data folder only, creating the missing folders on the path.
uint32_t OpenFile(Host&, std::string_view name, uint32_t mode);
void CloseFile(Host&, uint32_t handle);
uint32_t ReadFile(Host&, uint32_t handle, uint8_t* buffer, uint32_t count);
uint32_t WriteFile(Host&, uint32_t handle, const uint8_t* buffer, uint32_t count);
uint32_t SeekFile(Host&, uint32_t handle, uint32_t offset, uint32_t origin);
uint32_t FileEof(Host&, uint32_t handle);
// Size in bytes or 0xFFFFFFFF; mtime (seconds since 1970, low 32 bits) and kind (2 folder, 1 other)
// are written only on success.
uint32_t FileInfo(Host&, std::string_view name, uint32_t* mtime, uint32_t* kind);
uint32_t MakeDir(Host&, std::string_view name);
uint32_t RemoveDir(Host&, std::string_view name);
void DeleteFile(Host&, std::string_view name);
void MoveFile(Host&, std::string_view from, std::string_view to);
void AppendDebugLog(Host&, std::string_view text);
// Closes every open file (process end, test teardown).
void CloseAllFiles(Host&);

}  // namespace orva
