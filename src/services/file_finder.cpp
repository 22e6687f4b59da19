#include "services/file_finder.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/file_layer.h"
#include "core/host.h"
#include "services/wildcard.h"

namespace orva::services {
namespace {

constexpr size_t kMaxNamePattern = 255;

std::string FoldAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// The visible entries of `folder`, sorted by name; none when it cannot be listed.
std::vector<FoundEntry> ListFolder(const std::string& folder) {
  std::vector<FoundEntry> entries;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code kind_ec;
    bool folder_kind = it->is_directory(kind_ec);
    entries.push_back(
        {std::move(name), 0, static_cast<uint8_t>(folder_kind ? kKindFolder : kKindOther)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const FoundEntry& a, const FoundEntry& b) { return a.name < b.name; });
  return entries;
}

void CollectMatches(Host& host, std::string_view pattern, Root root, uint8_t origin,
                    std::unordered_set<std::string>& seen) {
  std::optional<std::string> rooted = RootPath(host, pattern, root);
  if (!rooted) return;
  size_t slash = rooted->rfind('/');
  if (slash == std::string::npos) return;
  std::string_view name_pattern = std::string_view(*rooted).substr(slash + 1);
  if (name_pattern.size() > kMaxNamePattern) return;  // longer than any name it could match

  FoundList& list = host.services.found;
  for (FoundEntry& entry : ListFolder(rooted->substr(0, slash + 1))) {
    if (!WildcardMatch(entry.name, name_pattern)) continue;
    try {
      if (!seen.insert(FoldAscii(entry.name)).second) continue;
      entry.origin = origin;
      list.entries.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
      ShowMessageBox(host, "kFF:N");
    }
  }
}

}  // namespace

const FoundEntry* FindFirst(Host& host, std::string_view pattern) {
  FindClose(host);
  std::unordered_set<std::string> seen;
  CollectMatches(host, pattern, Root::kUserData, kOriginUserData, seen);
  CollectMatches(host, pattern, Root::kResource, kOriginResource, seen);
  return FindNext(host);
}

const FoundEntry* FindNext(Host& host) {
  FoundList& list = host.services.found;
  if (list.next >= list.entries.size()) return nullptr;
  return &list.entries[list.next++];
}

void FindClose(Host& host) { host.services.found = FoundList{}; }

}  // namespace orva::services
