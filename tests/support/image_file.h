// Places an assembled image file into a Host the way the loader lays it out (header, loaded
// part, zero fill, stack, heap), for in-process runs of assembled test programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host.h"

namespace orva::test {

std::vector<uint8_t> ReadFileBytes(const std::string& path);

// False when the bytes are not a usable image.
bool PlaceImage(Host& host, const std::vector<uint8_t>& file);

}  // namespace orva::test
