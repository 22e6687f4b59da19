#include "host/screenshot.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/host.h"
#include "graphics/png_encode.h"
#include "host/folders.h"

namespace orva::host {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxSameNameShots = 1000;

// Writes `bytes` through a stream opened with `mode`; 0, or the errno of the failure.
int WriteFile(const std::string& path, const char* mode, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), mode);
  if (!f) return errno;
  int err = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() ? 0 : errno;
  if (std::fclose(f) != 0 && err == 0) err = errno;
  return err;
}

// The value of one `XDG_..._DIR="..."` line of user-dirs.dirs, "$HOME" replaced; empty when the
// line is not that key's or names no absolute folder.
std::string UserDirValue(const std::string& line, std::string_view key, const std::string& home) {
  if (!line.starts_with(key) || line.compare(key.size(), 2, "=\"") != 0) return {};
  size_t start = key.size() + 2, end = line.find('"', start);
  if (end == std::string::npos) return {};
  std::string value = line.substr(start, end - start);
  if (value.starts_with("$HOME")) value = home + value.substr(5);
  return value.starts_with("/") ? value : std::string();
}

}  // namespace

std::optional<std::vector<uint8_t>> EncodeView(Host& host) {
  const graphics::HostBitmap& screen = host.gfx.screen;
  platform::Size view = host.platform.display().ViewSize();
  int32_t width = std::min(view.width, screen.width), height = std::min(view.height, screen.height);
  if (!screen.pixels || width <= 0 || height <= 0) return std::nullopt;
  const size_t row = static_cast<size_t>(width) * 4;
  std::vector<uint8_t> rgba(row * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* out = rgba.data() + row * static_cast<size_t>(y);
    std::memcpy(out, screen.pixels.get() + static_cast<size_t>(y) * screen.width * 4, row);
    for (size_t x = 3; x < row; x += 4) out[x] = 0xFF;  // the window shows no alpha
  }
  return graphics::EncodePng(rgba.data(), static_cast<uint32_t>(width),
                             static_cast<uint32_t>(height));
}

bool WriteScreenshot(Host& host, const std::string& path, std::string& error) {
  std::optional<std::vector<uint8_t>> png = EncodeView(host);
  if (!png) {
    error = "the program showed nothing";
    return false;
  }
  int err = WriteFile(path, "wb", *png);
  if (err != 0) error = std::strerror(err);
  return err == 0;
}

std::string PicturesFolder() {
  std::string home = HomeDir();
  if (home.empty()) return {};
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string dirs =
      (config && config[0] == '/' ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
  std::ifstream in(dirs);
  std::string line, folder;
  while (std::getline(in, line))
    if (std::string value = UserDirValue(line, "XDG_PICTURES_DIR", home); !value.empty())
      folder = value;
  return folder.empty() ? home + "/Pictures" : folder;
}

std::optional<std::string> SaveScreenshotToPictures(Host& host, std::string& error) {
  std::optional<std::vector<uint8_t>> png = EncodeView(host);
  if (!png) {
    error = "the program shows nothing yet";
    return std::nullopt;
  }
  std::string pictures = PicturesFolder();
  if (pictures.empty()) {
    error = "there is no home folder";
    return std::nullopt;
  }
  std::string folder = pictures + "/Orva";
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    error = "cannot make " + folder + ": " + ec.message();
    return std::nullopt;
  }
  platform::LocalTime t = host.platform.clock().Now();
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d.%02d.%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  std::string stem = folder + "/" + host.folders.game_name + " " + stamp;
  for (int n = 1; n <= kMaxSameNameShots; ++n) {
    std::string path = stem + (n == 1 ? "" : " " + std::to_string(n)) + ".png";
    // "x": never replaces a file, even one that appears between two tries.
    int err = WriteFile(path, "wbx", *png);
    if (err == 0) return path;
    if (err != EEXIST) {
      error = path + ": " + std::strerror(err);
      return std::nullopt;
    }
  }
  error = "too many screenshots named " + stem;
  return std::nullopt;
}

}  // namespace orva::host
