// Screenshots: what the window shows, as a PNG. That is the view-sized top-left part of the
// screen bitmap, one pixel per screen pixel whatever the zoom, opaque.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orva {
struct Host;
}

namespace orva::host {

// The PNG of the view; nullopt when nothing is shown (no window or no screen yet).
std::optional<std::vector<uint8_t>> EncodeView(Host&);

// Writes the view's PNG to `path` (--screenshot), replacing the file; false with the reason in
// `error`.
bool WriteScreenshot(Host&, const std::string& path, std::string& error);

// The user's pictures folder: XDG_PICTURES_DIR from $XDG_CONFIG_HOME/user-dirs.dirs (or
// ~/.config/user-dirs.dirs), else ~/Pictures; empty without a home folder.
std::string PicturesFolder();

// The screenshot hotkey: saves the view's PNG as "GAME YYYY-MM-DD HH.MM.SS.png" in the "Orva"
// folder of the pictures folder, never replacing a file (" 2", " 3", ... are added instead).
// Returns the path written, or nullopt with the reason in `error`.
std::optional<std::string> SaveScreenshotToPictures(Host&, std::string& error);

}  // namespace orva::host
