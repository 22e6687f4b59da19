// State of the file services and the profile file services.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "services/profile_text.h"

namespace orva::services {

inline constexpr uint32_t kOriginResource = 0;
inline constexpr uint32_t kOriginUserData = 1;
inline constexpr uint32_t kKindFolder = 16;
inline constexpr uint32_t kKindOther = 0;

struct FoundEntry {
  std::string name;  // the last component of the path, UTF-8
  uint8_t origin = kOriginResource;
  uint8_t kind = kKindOther;
};

// The result of the latest find-first: entries in the order they are handed out.
struct FoundList {
  std::vector<FoundEntry> entries;
  size_t next = 0;  // the entry the next find-next hands out
};

struct ServiceState {
  FoundList found;
  std::optional<Profile> profile;  // none until loaded, and after it is freed
};

}  // namespace orva::services
