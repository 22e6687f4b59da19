// A pattern for the file finder, over a user data folder and a resource folder of known
// entries: it may only ever list entries of those two folders (or of their subfolders), and the
// wildcard matcher must agree with a plain reference matcher. Input: the pattern, or a name, a
// NUL and a pattern for the matcher alone.
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "core/host.h"
#include "harness.h"
#include "platform/headless/headless_platform.h"
#include "services/file_finder.h"
#include "services/wildcard.h"

namespace orva::fuzz {
namespace {

// The entries of the two folders; "MUSIC" and "SAVES" are folders.
constexpr const char* kDataEntries[] = {"SAVE1.SAV",   "save2.sav",   "Notes.txt",      ".hidden",
                                        "SAVES/A.SAV", "SAVES/b.sav", "caf\xc3\xa9.dat"};
constexpr const char* kResourceEntries[] = {"MAIN.QX",     "save1.sav",   "title.png",
                                            "MUSIC/a.mid", "MUSIC/B.MID", "[x]*?.txt"};

void Fill(const Scratch& s, const std::string& folder, std::span<const char* const> entries) {
  for (const char* e : entries) {
    std::filesystem::create_directories(std::filesystem::path(folder + e).parent_path());
    s.Write(folder + e, "x");
  }
}

const Scratch& Folders() {
  static const Scratch scratch("file_pattern");
  static const bool filled = (Fill(scratch, scratch.data(), kDataEntries),
                              Fill(scratch, scratch.res(), kResourceEntries), true);
  (void)filled;
  return scratch;
}

// Every name the finder may hand out: the last part of each entry and each folder.
const std::set<std::string>& KnownNames() {
  static const std::set<std::string> names = [] {
    std::set<std::string> n;
    auto add = [&](std::string path) {
      for (size_t slash; (slash = path.find('/')) != std::string::npos; path.erase(0, slash + 1))
        n.insert(path.substr(0, slash));
      n.insert(path);
    };
    for (const char* e : kDataEntries) add(e);
    for (const char* e : kResourceEntries) add(e);
    return n;
  }();
  return names;
}

char Fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Matching by dynamic programming over every prefix pair.
bool ReferenceMatch(std::string_view name, std::string_view pattern) {
  std::vector<std::vector<bool>> m(pattern.size() + 1, std::vector<bool>(name.size() + 1));
  m[0][0] = true;
  for (size_t p = 1; p <= pattern.size(); ++p) {
    char pc = pattern[p - 1];
    for (size_t n = 0; n <= name.size(); ++n) {
      if (pc == '*')
        m[p][n] = m[p - 1][n] || (n > 0 && m[p][n - 1]);
      else
        m[p][n] = n > 0 && m[p - 1][n - 1] && (pc == '?' || Fold(pc) == Fold(name[n - 1]));
    }
  }
  return m[pattern.size()][name.size()];
}

}  // namespace
}  // namespace orva::fuzz

ORVA_FUZZ_TARGET(file_pattern) {
  using namespace orva;
  std::string_view text = fuzz::Text(input);
  if (size_t nul = text.find('\0'); nul != std::string_view::npos) {
    std::string_view name = text.substr(0, nul), pattern = text.substr(nul + 1);
    if (name.size() <= 256 && pattern.size() <= 256)
      FUZZ_CHECK(services::WildcardMatch(name, pattern) == fuzz::ReferenceMatch(name, pattern));
    return;
  }
  const fuzz::Scratch& folders = fuzz::Folders();
  platform::HeadlessPlatform platform(nullptr);
  Host host(platform);
  host.folders.user_data = folders.data();
  host.folders.resource = folders.res();
  for (const services::FoundEntry* e = services::FindFirst(host, text); e;
       e = services::FindNext(host)) {
    FUZZ_CHECK(fuzz::KnownNames().count(e->name) == 1);
  }
}
