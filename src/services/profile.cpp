// Group 8: the profile (settings) file. The text and its editing commands are Profile's
// (profile_text.h); this file loads and saves it and moves the program's arguments and answers.
//
//   cmd  arguments                 R14 ("0 first": set to 0 before anything else)
//   ---  ------------------------  ----------------------------------------------------------
//    0   name                      0 first; 1 when the file was read          load
//    1   name                      1, or 0 on any failure                     save
//    2   -                         -                                          free
//    3   section name              0 first; 1 when found                      find section
//    4   key                       0 first; 1 when found                      find key
//    5   u32 address               0 first; 1 when a number was parsed        read number
//    6   dest, capacity            length, 0xFFFFFFFF, or 0 (no quote)        read quoted string
//    7   section name              0 first; 1                                 add section
//    8   key, value                0 first; 1                                 set
//    9   -                         -                                          delete section
//   10   key                       0 first; 1 when found                      delete key
//   11   dest, capacity            length, 0xFFFFFFFF, or 0 at the end        next section
//   12   -                         -                                          clear
//   13   -                         1 at a line end (or no cursor), else 0     at end of line
//   14   key, value, form          0 first; 1                                 append number
//   15   key, string               0 first; 1                                 append string
//   16   dest, capacity            length, 0xFFFFFFFF, or 0 (no line left)    next line
//
// Without a profile every command but 0 and 13 only sets R14 as above and empties the
// destination of 6, 11 and 16. A capacity of 0 leaves a destination untouched (there is no room
// even for its NUL).
//
// Saving writes a temporary file and renames it over the old one, so a crash or a full disk
// mid-save never costs the settings already on disk.
#include <cstring>
#include <new>

#include "core/file_layer.h"
#include "services/profile_text.h"
#include "services/replace_file.h"
#include "services/syscall.h"

namespace orva::services {
namespace {

enum : uint32_t {
  kLoad = 0,
  kSave = 1,
  kFree = 2,
  kFindSection = 3,
  kFindKey = 4,
  kReadNumber = 5,
  kReadQuoted = 6,
  kAddSection = 7,
  kSet = 8,
  kDeleteSection = 9,
  kDeleteKey = 10,
  kNextSection = 11,
  kClear = 12,
  kAtEndOfLine = 13,
  kAppendNumber = 14,
  kAppendString = 15,
  kNextLine = 16,
};

constexpr uint32_t kShortestFile = 10;

// Reads the profile file: user data folder first, then resources. A missing or too short file
// gives an empty profile; one that cannot be held in memory leaves none.
bool LoadProfile(Host& host, std::string_view name) {
  std::optional<Profile>& profile = host.services.profile;
  profile.reset();
  uint32_t file = OpenFile(host, name, kModeRead);
  if (file == kNoFile) {
    profile.emplace();
    return false;
  }
  uint32_t size = SeekFile(host, file, 0, 2);
  SeekFile(host, file, 0, 0);
  bool read = false;
  if (size == kNoFile || size < kShortestFile) {
    profile.emplace();
  } else if (size <= kMaxProfileBytes) {
    try {
      std::string bytes(size, '\0');
      bytes.resize(ReadFile(host, file, reinterpret_cast<uint8_t*>(bytes.data()), size));
      profile = Profile::FromFileBytes(bytes);
      read = true;
    } catch (const std::bad_alloc&) {
      profile.reset();
    }
  }
  CloseFile(host, file);
  return read;
}

bool SaveProfile(Host& host, std::string_view name) {
  const std::optional<Profile>& profile = host.services.profile;
  if (!profile) return false;
  std::optional<std::string> path = RootPath(host, name, Root::kUserData);
  return path && ReplaceFile(*path, profile->FileBytes());
}

// The copying commands' answer: the text with its NUL at dest, when there is room for the NUL.
// Without a profile the destination is emptied.
void CopyOut(Host& host, const SysCall& call, ProfileCopy (Profile::*command)(uint32_t)) {
  uint32_t dest = call.Arg(0), capacity = call.Arg(1);
  std::optional<Profile>& profile = host.services.profile;
  ProfileCopy copy = profile ? ((*profile).*command)(capacity) : ProfileCopy{std::string(), 0};
  if (copy.text && capacity > 0) {
    uint8_t* at = call.Bytes(dest, copy.text->size() + 1);
    std::memcpy(at, copy.text->c_str(), copy.text->size() + 1);
  }
  call.Result(copy.result);
}

// "0 first": R14 is 0 before anything can go wrong. The profile to work on, or null.
Profile* ZeroFirst(Host& host, const SysCall& call) {
  call.Result(0);
  return host.services.profile ? &*host.services.profile : nullptr;
}

}  // namespace

void ProfileService(Host& host, SysCall& call, uint32_t command) {
  std::optional<Profile>& profile = host.services.profile;
  auto text = [&](uint32_t k) { return call.String(call.Arg(k)); };
  switch (command) {
    case kLoad:
      ZeroFirst(host, call);
      call.Result(LoadProfile(host, text(0)));
      return;
    case kSave: call.Result(SaveProfile(host, text(0))); return;
    case kFree: profile.reset(); return;
    case kFindSection:
      if (Profile* p = ZeroFirst(host, call)) call.Result(p->FindSection(text(0)));
      return;
    case kFindKey:
      if (Profile* p = ZeroFirst(host, call)) call.Result(p->FindKey(text(0)));
      return;
    case kReadNumber:
      if (Profile* p = ZeroFirst(host, call)) {
        uint32_t at = call.Arg(0);
        ProfileNumber n = p->ReadNumber();
        if (n.value) call.Store32(at, *n.value);
        call.Result(n.result);
      }
      return;
    case kReadQuoted: CopyOut(host, call, &Profile::ReadQuoted); return;
    case kAddSection:
      if (Profile* p = ZeroFirst(host, call)) call.Result(p->AddSection(text(0)));
      return;
    case kSet:
      if (Profile* p = ZeroFirst(host, call)) call.Result(p->Set(text(0), text(1)));
      return;
    case kDeleteSection:
      if (profile) profile->DeleteSection();
      return;
    case kDeleteKey:
      if (Profile* p = ZeroFirst(host, call)) call.Result(p->DeleteKey(text(0)));
      return;
    case kNextSection: CopyOut(host, call, &Profile::NextSection); return;
    case kClear:
      if (profile) profile->Clear();
      return;
    case kAtEndOfLine: call.Result(!profile || profile->AtEndOfLine()); return;
    case kAppendNumber:
      if (Profile* p = ZeroFirst(host, call)) {
        call.Result(p->AppendNumber(text(0), call.Arg(1), call.Arg(2)));
      }
      return;
    case kAppendString:
      if (Profile* p = ZeroFirst(host, call)) call.Result(p->AppendString(text(0), text(1)));
      return;
    case kNextLine: CopyOut(host, call, &Profile::NextLine); return;
    default: UnknownCommand(host); return;
  }
}

}  // namespace orva::services
