#include "host/folders.h"

#include <plist/plist.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace orva::host {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxPlistBytes = 1 << 20;  // an Info.plist is a few kilobytes
constexpr size_t kMaxNameBytes = 255;       // one folder name
constexpr const char* kFallbackGameName = "Untitled";

#ifndef ORVA_DEFAULT_PROGRAM
#define ORVA_DEFAULT_PROGRAM "hello"
#endif
#ifndef ORVA_DATA_FROM_BIN
#define ORVA_DATA_FROM_BIN "../share/orva"
#endif

// An absolute, lexically normal path without a trailing "/" (except for the root itself).
std::string Absolute(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  if (ec) p = path;
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

std::optional<std::vector<char>> ReadSmallFile(const std::string& path, size_t limit) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) return std::nullopt;
  std::vector<char> bytes(limit + 1);
  size_t n = std::fread(bytes.data(), 1, bytes.size(), f.get());
  if (n > limit || std::ferror(f.get())) return std::nullopt;
  bytes.resize(n);
  return bytes;
}

}  // namespace

bool IsUsableGameName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxNameBytes && name != "." && name != ".." &&
         name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::optional<std::string> ReadGameName(const std::string& path) {
  auto bytes = ReadSmallFile(path, kMaxPlistBytes);
  if (!bytes || bytes->empty()) return std::nullopt;
  plist_t root = nullptr;
  plist_from_memory(bytes->data(), static_cast<uint32_t>(bytes->size()), &root);
  if (!root) return std::nullopt;
  std::unique_ptr<void, void (*)(plist_t)> owner(root, plist_free);

  if (plist_get_node_type(root) != PLIST_DICT) return std::nullopt;
  plist_t item = plist_dict_get_item(root, "HOLGameName");
  if (!item || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
  char* value = nullptr;
  plist_get_string_val(item, &value);
  if (!value) return std::nullopt;
  std::string name(value);
  std::free(value);
  return name;
}

std::string HomeDir() {
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') {
    const passwd* pw = getpwuid(getuid());
    home = pw && pw->pw_dir && pw->pw_dir[0] == '/' ? pw->pw_dir : nullptr;
  }
  return home ? Absolute(home) : std::string();
}

std::string DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return Absolute(xdg);
  std::string home = HomeDir();
  return home.empty() ? home : Absolute(home + "/.local/share");
}

std::string ExecutableDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

std::string_view DefaultProgramName() { return ORVA_DEFAULT_PROGRAM; }

std::variant<Folders, std::string> ResolveFolders(const Options& options,
                                                  const std::string& exe_dir) {
  std::string game_dir;
  if (options.game.empty()) {
    // A build tree keeps it in examples/ beside the executable; an installation in its data
    // folder, found from the executable's folder so that the whole tree can move.
    std::string built = Absolute(exe_dir + "/examples/" ORVA_DEFAULT_PROGRAM);
    std::string installed = Absolute(exe_dir + "/" ORVA_DATA_FROM_BIN "/" ORVA_DEFAULT_PROGRAM);
    game_dir = IsFolder(built) ? built : installed;
    if (!IsFolder(game_dir))
      return "the default program is missing (looked in " + built + " and " + installed + ")";
  } else {
    game_dir = Absolute(options.game);
    if (!IsFolder(game_dir)) return "no such game folder: " + options.game;
  }
  if (!options.game_name.empty() && !IsUsableGameName(options.game_name))
    return "--game-name cannot serve as a folder name: '" + options.game_name + "'";

  Folders f;
  f.bundle = game_dir;
  std::optional<std::string> bundle_name;
  if (std::string plist = game_dir + "/Contents/Info.plist"; IsFile(plist)) {
    f.resource = game_dir + "/Contents/Resources/";
    bundle_name = ReadGameName(plist);
  } else {
    f.resource = WithSlash(game_dir);
  }

  // The bundle's own name wins; a name that would not make one folder is passed over.
  std::string folder_name = fs::path(game_dir).filename().string();
  if (bundle_name && IsUsableGameName(*bundle_name))
    f.game_name = *bundle_name;
  else if (!options.game_name.empty())
    f.game_name = options.game_name;
  else if (IsUsableGameName(folder_name))
    f.game_name = folder_name;
  else
    f.game_name = kFallbackGameName;

  if (!options.data_dir.empty()) {
    f.user_data = WithSlash(Absolute(options.data_dir));
  } else if (std::string home = DataHome(); !home.empty()) {
    f.user_data = home + "/Quillmoor Software/" + f.game_name + "/";
  }
  return f;
}

}  // namespace orva::host
