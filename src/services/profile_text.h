// The profile (settings file) in memory, and the editing commands of the profile service over it.
// No files and no image memory here: the service handler (profile.cpp) reads the program's
// arguments, calls these, and writes the answers back.
//
// File format: a sequence of sections. A section runs from its "[" to the next "[" anywhere in the
// text, or to the end.
//
//   byte  0      "["
//   bytes 1-10   the checksum as text, "0x%8.8X" (ignored when loading)
//   byte  11     separator ("=" in sections the host creates)
//   bytes 12-    the name, up to "]"; then the rest of the header line and its line end
//   lines        key=value, line ends LF, CR or CR LF; leading blanks and blank lines allowed
//
// In memory the header keeps its "[", separator and name, but bytes 1-4 hold the section's length
// (u32 little-endian, from its "[" to the next section or the end of the text) and bytes 5-10 are
// zero. Invariants, kept by every command and checked by CheckInvariants():
//   - the sections, walked by their lengths from offset 0, tile the whole text; each is at least
//     kHeaderBytes long (so the text is empty or starts with "[");
//   - the current section, when there is one, is one of those sections;
//   - the cursor, when there is one, lies in the current section, after byte 10 of its header.
// Every scan stops at the end of the current section, so no command reads or edits another
// section by running past a missing line end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orva::services {

inline constexpr uint32_t kProfileFail = 0xFFFFFFFF;
inline constexpr size_t kHeaderBytes = 11;  // "[", ten bytes of checksum/length, separator
// Edits that would grow the text beyond this are refused (the length fields are 32-bit).
inline constexpr size_t kMaxProfileBytes = size_t{1} << 30;

// The checksum of a section's bytes, with bytes 1-10 already set to zero by the caller: the sum of
// the little-endian u32 groups, plus the trailing bytes folded in as signed bytes.
uint32_t SectionChecksum(std::string_view section);

// What a copying command (6, 11, 16) hands back: the text for the destination (written with its
// NUL when the capacity allows one; nullopt when the destination is not to be written) and R14.
struct ProfileCopy {
  std::optional<std::string> text;
  uint32_t result = 0;
};

// What command 5 hands back: the value to store (nullopt without a cursor) and R14.
struct ProfileNumber {
  std::optional<uint32_t> value;
  uint32_t result = 0;
};

class Profile {
 public:
  // An empty profile.
  Profile() = default;
  // A profile from a file's bytes: text after a NUL is dropped, leading blanks and line ends are
  // dropped, and text that does not then start with "[" gives an empty profile. A header cut off
  // by the end of the text (fewer than kHeaderBytes) is dropped. The first section is current.
  static Profile FromFileBytes(std::string_view bytes);

  // The bytes of the file: every header with its checksum text in bytes 1-10.
  std::string FileBytes() const;

  // The commands of the profile service, numbered as the program calls them.
  bool FindSection(std::string_view name);                                 // 3
  bool FindKey(std::string_view key);                                      // 4
  ProfileNumber ReadNumber();                                              // 5
  ProfileCopy ReadQuoted(uint32_t capacity);                               // 6
  bool AddSection(std::string_view name);                                  // 7
  bool Set(std::string_view key, std::string_view value);                  // 8
  void DeleteSection();                                                    // 9
  bool DeleteKey(std::string_view key);                                    // 10
  ProfileCopy NextSection(uint32_t capacity);                              // 11
  void Clear();                                                            // 12
  bool AtEndOfLine();                                                      // 13
  bool AppendNumber(std::string_view key, uint32_t value, uint32_t form);  // 14
  bool AppendString(std::string_view key, std::string_view text);          // 15
  ProfileCopy NextLine(uint32_t capacity);                                 // 16

  const std::string& text() const { return text_; }
  std::optional<size_t> section() const { return section_; }
  std::optional<size_t> cursor() const { return cursor_; }
  // Empty when the invariants above hold, else what is wrong (for tests and fuzzing).
  std::string CheckInvariants() const;

 private:
  // Where a key's line is, or where a new line for it goes.
  struct KeyLine {
    bool found = false;
    size_t line_start = 0;  // found: the line, from its first byte
    size_t line_end = 0;    // found: its line-end characters (or the section's end)
    size_t next_line = 0;   // found: just past them
    size_t value = 0;       // found: just past the "="
    size_t insert_at = 0;   // not found: where a new line goes
  };

  uint32_t SectionLength(size_t section) const;
  void SetSectionLength(size_t section, uint32_t length);
  size_t SectionEnd(size_t section) const { return section + SectionLength(section); }
  size_t BodyStart(size_t section) const;
  std::string_view SectionName(size_t section) const;
  std::optional<size_t> FindSectionNamed(std::string_view name) const;
  KeyLine FindKeyLine(std::string_view key) const;
  bool AtLineStart(size_t pos) const;

  // Edits that keep the lengths, the current section and the cursor in step with the text.
  // `owner` is the section that gains or loses the bytes.
  bool Insert(size_t pos, std::string_view bytes, size_t owner);
  void Erase(size_t pos, size_t n, size_t owner);
  // A new line "key=text" + LF in the current section, where FindKeyLine says it goes.
  bool InsertLine(const KeyLine& where, std::string_view key, std::string_view text);
  // Appends `text` to the key's line, or adds the line "key=text".
  bool AppendToKey(std::string_view key, std::string_view text);

  std::string text_;
  std::optional<size_t> section_;
  std::optional<size_t> cursor_;
};

}  // namespace orva::services
