// The folders of a run: where the program and its resources are, and where its own files go.
//
//   GAME/MAIN.QX ...                         plain game folder: GAME is the resource folder
//   GAME/Contents/Info.plist                 bundle: the game name is the HOLGameName key
//   GAME/Contents/Resources/MAIN.QX ...      bundle: the resource folder
//
// The user data folder is --data-dir, else $XDG_DATA_HOME (or ~/.local/share), then
// "Quillmoor Software", then the game name. It is only named here; the file layer creates it
// when the program first writes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "core/file_layer.h"
#include "host/options.h"

namespace orva::host {

// The folders for `options`, or the reason they cannot be set up (one line for stderr).
// `exe_dir` is the folder of the orva executable. Without a game, the bundled default program
// runs: EXE_DIR/examples/NAME in a build tree, else PREFIX/share/orva/NAME for an installed
// PREFIX/bin/orva.
std::variant<Folders, std::string> ResolveFolders(const Options& options,
                                                  const std::string& exe_dir);

// The string value of HOLGameName in the XML or binary property list at `path`; nullopt when the
// file, the key or a string value is missing.
std::optional<std::string> ReadGameName(const std::string& path);

// NAME above: the folder name of the bundled default program.
std::string_view DefaultProgramName();

// True for a name that can serve as the last folder of the user data folder.
bool IsUsableGameName(std::string_view name);

// $HOME when it is absolute, else the home folder of the user's account; empty when neither.
std::string HomeDir();

// $XDG_DATA_HOME when it is absolute, else ~/.local/share; empty when there is no home.
std::string DataHome();

// The folder of the running executable, without a trailing "/".
std::string ExecutableDir();

}  // namespace orva::host
