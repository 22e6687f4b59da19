// Opening the program's music and sound files: only plain files, so that a pipe or a device
// among a game's resources cannot make the host wait on it forever.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace orva::audio {

// A descriptor open for reading, or -1 with `why` set.
int OpenPlainFile(const std::string& path, std::string& why);

// The whole file, when it is a plain file of at most `max_bytes` bytes; else why not.
std::variant<std::vector<uint8_t>, std::string> ReadPlainFile(const std::string& path,
                                                              size_t max_bytes);

}  // namespace orva::audio
