#include "audio/soundfont.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace orva::audio {

namespace {

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// The SoundFont files directly in `folder`, in name order.
std::vector<std::string> SoundFontsIn(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string ext = it->path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return c | 0x20; });
    if ((ext == ".sf2" || ext == ".sf3") && IsFile(it->path().string()))
      found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

SoundFontChoice FindSoundFont(std::string_view option, std::string_view env,
                              std::span<const std::string_view> system) {
  if (!option.empty()) return {std::string(option), {}};
  if (!env.empty()) return {std::string(env), {}};
  for (std::string_view place : system) {
    std::string path(place);
    if (path.ends_with('/')) {
      std::vector<std::string> found = SoundFontsIn(path);
      if (!found.empty()) return {found.front(), {}};
    } else if (IsFile(path)) {
      return {path, {}};
    }
  }
  return {{},
          "no General MIDI SoundFont found (install timgm6mb-soundfont or fluid-soundfont-gm, "
          "or name one with --soundfont FILE)"};
}

}  // namespace orva::audio
