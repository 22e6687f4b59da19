#include "services/profile_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orva::services {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

size_t SkipBlanks(std::string_view s, size_t pos, size_t end) {
  while (pos < end && IsBlank(s[pos])) ++pos;
  return pos;
}

// The first line-end character at or after pos, or end.
size_t LineEnd(std::string_view s, size_t pos, size_t end) {
  while (pos < end && !IsLineEnd(s[pos])) ++pos;
  return pos;
}

// Just past the line end at pos: LF, CR, or CR LF.
size_t SkipLineEnd(std::string_view s, size_t pos, size_t end) {
  if (pos < end && s[pos] == '\r')
    ++pos;
  else if (pos < end && s[pos] == '\n')
    return pos + 1;
  if (pos < end && s[pos] == '\n') ++pos;
  return pos;
}

size_t CopyLimit(uint32_t capacity) { return capacity == 0 ? 0 : capacity - 1; }

}  // namespace

uint32_t SectionChecksum(std::string_view section) {
  const auto* p = reinterpret_cast<const uint8_t*>(section.data());
  size_t n = section.size();
  uint32_t sum = 0;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    uint32_t word;
    std::memcpy(&word, p + i, 4);
    sum += word;
  }
  uint32_t tail = 0;
  for (; i < n; ++i) {
    auto widened = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(p[i])));
    tail = (tail << 8) | widened;
  }
  return sum + tail;
}

// ---- Loading and saving ------------------------------------------------------------------------

Profile Profile::FromFileBytes(std::string_view bytes) {
  Profile p;
  bytes = bytes.substr(0, bytes.find('\0'));
  size_t first = bytes.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos || bytes[first] != '[') return p;
  p.text_.assign(bytes.substr(first));

  std::string& t = p.text_;
  size_t pos = 0;
  while (pos < t.size()) {  // t[pos] == '[' here: every "[" starts a section
    if (t.size() - pos < kHeaderBytes) {
      t.resize(pos);  // a header cut short holds nothing but its checksum digits
      break;
    }
    size_t next = t.find('[', pos + kHeaderBytes);
    if (next == std::string::npos) next = t.size();
    std::memset(t.data() + pos + 1, 0, 10);
    p.SetSectionLength(pos, static_cast<uint32_t>(next - pos));
    pos = next;
  }
  if (!t.empty()) p.section_ = 0;
  return p;
}

std::string Profile::FileBytes() const {
  std::string out = text_;
  for (size_t pos = 0; pos < out.size(); pos = SectionEnd(pos)) {
    std::memset(out.data() + pos + 1, 0, 10);
    uint32_t sum = SectionChecksum(std::string_view(out).substr(pos, SectionLength(pos)));
    char digits[11];
    std::snprintf(digits, sizeof digits, "0x%8.8X", sum);
    std::memcpy(out.data() + pos + 1, digits, 10);
  }
  return out;
}

// ---- Sections
// ------------------------------------------------------------------------------------

uint32_t Profile::SectionLength(size_t section) const {
  uint32_t n;
  std::memcpy(&n, text_.data() + section + 1, 4);
  return n;
}

void Profile::SetSectionLength(size_t section, uint32_t length) {
  std::memcpy(text_.data() + section + 1, &length, 4);
}

// The first byte after the header line. The search starts past the length bytes, which may hold
// any value, line-end codes included.
size_t Profile::BodyStart(size_t section) const {
  size_t end = SectionEnd(section);
  return SkipLineEnd(text_, LineEnd(text_, section + kHeaderBytes, end), end);
}

std::string_view Profile::SectionName(size_t section) const {
  size_t start = section + kHeaderBytes + 1;
  size_t end = SectionEnd(section);
  if (start >= end) return {};
  std::string_view rest = std::string_view(text_).substr(start, end - start);
  return rest.substr(0, rest.find(']'));
}

std::optional<size_t> Profile::FindSectionNamed(std::string_view name) const {
  for (size_t pos = 0; pos < text_.size(); pos = SectionEnd(pos)) {
    if (SectionName(pos) == name) return pos;
  }
  return std::nullopt;
}

bool Profile::FindSection(std::string_view name) {
  cursor_.reset();
  section_ = FindSectionNamed(name);
  return section_.has_value();
}

bool Profile::AddSection(std::string_view name) {
  cursor_.reset();
  if (auto found = FindSectionNamed(name)) {
    section_ = found;
    return true;
  }
  std::string header = "[" + std::string(10, '\0') + "=" + std::string(name) + "]\n";
  if (text_.size() + header.size() > kMaxProfileBytes) return false;
  size_t pos = text_.size();
  text_ += header;
  SetSectionLength(pos, static_cast<uint32_t>(header.size()));
  section_ = pos;
  return true;
}

void Profile::DeleteSection() {
  if (!section_) return;
  text_.erase(*section_, SectionLength(*section_));
  section_ = text_.empty() ? std::nullopt : std::optional<size_t>(0);
  cursor_.reset();
}

ProfileCopy Profile::NextSection(uint32_t capacity) {
  cursor_.reset();
  if (!section_ || SectionEnd(*section_) >= text_.size()) {
    section_.reset();
    return {std::string(), 0};
  }
  section_ = SectionEnd(*section_);
  size_t start = *section_ + kHeaderBytes + 1;
  size_t end = SectionEnd(*section_);
  size_t limit = CopyLimit(capacity);
  std::string name;
  for (size_t pos = start; pos < end && text_[pos] != ']'; ++pos) {
    if (name.size() == limit) return {std::move(name), kProfileFail};
    name += text_[pos];
  }
  uint32_t length = static_cast<uint32_t>(name.size());
  return {std::move(name), length};
}

void Profile::Clear() {
  text_.clear();
  section_.reset();
  cursor_.reset();
}

// ---- Keys
// ----------------------------------------------------------------------------------------

Profile::KeyLine Profile::FindKeyLine(std::string_view key) const {
  KeyLine k;
  size_t end = SectionEnd(*section_);
  std::string_view t = text_;
  size_t pos = BodyStart(*section_);
  while (true) {
    size_t first = SkipBlanks(t, pos, end);
    if (first == end || t[first] == '[') {
      k.insert_at = first;
      return k;
    }
    if (IsLineEnd(t[first])) {  // a blank line
      pos = SkipLineEnd(t, first, end);
      continue;
    }
    size_t eq = first + key.size();
    if (eq < end && t.substr(first, key.size()) == key && t[eq] == '=') {
      k.found = true;
      k.line_start = pos;
      k.line_end = LineEnd(t, eq, end);
      k.next_line = SkipLineEnd(t, k.line_end, end);
      k.value = eq + 1;
      return k;
    }
    size_t line_end = LineEnd(t, first, end);
    if (line_end == end) {  // the section's last line has no line end
      k.insert_at = end;
      return k;
    }
    pos = SkipLineEnd(t, line_end, end);
  }
}

// True when only blanks stand between pos and the start of its line.
bool Profile::AtLineStart(size_t pos) const {
  while (pos > 0 && IsBlank(text_[pos - 1])) --pos;
  return pos > 0 && IsLineEnd(text_[pos - 1]);
}

bool Profile::FindKey(std::string_view key) {
  cursor_.reset();
  if (!section_) return false;
  KeyLine k = FindKeyLine(key);
  if (k.found) cursor_ = k.value;
  return k.found;
}

bool Profile::InsertLine(const KeyLine& where, std::string_view key, std::string_view text) {
  std::string line;
  // A section whose last line (or header) lacks its line end gets one first; otherwise the new
  // line would run into that line's value.
  if (!AtLineStart(where.insert_at)) line += '\n';
  line.append(key).append("=").append(text).append("\n");
  return Insert(where.insert_at, line, *section_);
}

bool Profile::Set(std::string_view key, std::string_view value) {
  if (!section_) return false;
  KeyLine k = FindKeyLine(key);
  if (!k.found) return InsertLine(k, key, value);
  std::string line = std::string(key) + "=" + std::string(value) + "\n";
  size_t old_length = k.next_line - k.line_start;
  if (text_.size() - old_length + line.size() > kMaxProfileBytes) return false;
  Erase(k.line_start, old_length, *section_);
  return Insert(k.line_start, line, *section_);
}

bool Profile::DeleteKey(std::string_view key) {
  if (!section_) return false;
  KeyLine k = FindKeyLine(key);
  if (k.found) Erase(k.line_start, k.next_line - k.line_start, *section_);
  return k.found;
}

bool Profile::AppendToKey(std::string_view key, std::string_view text) {
  cursor_.reset();
  if (!section_) return false;
  KeyLine k = FindKeyLine(key);
  if (!k.found) return InsertLine(k, key, text);
  return Insert(k.line_end, text, *section_);
}

bool Profile::AppendNumber(std::string_view key, uint32_t value, uint32_t form) {
  char text[16];
  if (form == 1)
    std::snprintf(text, sizeof text, " 0%o", value);
  else if (form == 2)
    std::snprintf(text, sizeof text, " 0x%8.8X", value);
  else
    std::snprintf(text, sizeof text, " %d", static_cast<int32_t>(value));
  return AppendToKey(key, text);
}

bool Profile::AppendString(std::string_view key, std::string_view s) {
  std::string text = " \"";
  for (char c : s) {
    if (c == '\\' || c == '"') text += '\\';
    text += c;
  }
  text += '"';
  return AppendToKey(key, text);
}

// ---- Reading values at the cursor
// ----------------------------------------------------------------

ProfileNumber Profile::ReadNumber() {
  if (!cursor_) return {};
  std::string_view t = text_;
  size_t end = SectionEnd(*section_);
  size_t pos = SkipBlanks(t, *cursor_, end);
  bool negative = pos < end && t[pos] == '-';
  if (negative) ++pos;

  auto digit = [&](size_t i, uint32_t base) -> std::optional<uint32_t> {
    if (i >= end) return std::nullopt;
    char c = t[i];
    uint32_t d = c >= '0' && c <= '9'   ? uint32_t(c - '0')
                 : c >= 'a' && c <= 'f' ? uint32_t(c - 'a' + 10)
                 : c >= 'A' && c <= 'F' ? uint32_t(c - 'A' + 10)
                                        : 99;
    if (d >= base) return std::nullopt;
    return d;
  };
  uint32_t base = 10;
  if (pos < end && t[pos] == '0') {
    base = 8;
    if (pos + 1 < end && (t[pos + 1] == 'x' || t[pos + 1] == 'X') && digit(pos + 2, 16)) {
      base = 16;
      pos += 2;
    }
  }
  if (!digit(pos, base)) return {0, 0};  // no number: the cursor stays
  uint32_t value = 0;                    // modulo 2^32, as the program's arithmetic
  while (auto d = digit(pos, base)) {
    value = value * base + *d;
    ++pos;
  }
  cursor_ = pos;
  return {negative ? 0u - value : value, 1};
}

ProfileCopy Profile::ReadQuoted(uint32_t capacity) {
  if (!cursor_) return {std::string(), 0};
  std::string_view t = text_;
  size_t end = SectionEnd(*section_);
  size_t pos = SkipBlanks(t, *cursor_, end);
  if (pos >= end || t[pos] != '"') return {std::string(), 0};
  ++pos;
  size_t limit = CopyLimit(capacity);
  std::string out;
  while (true) {
    if (pos >= end || static_cast<uint8_t>(t[pos]) < 32) return {std::move(out), kProfileFail};
    if (t[pos] == '"') break;
    if (t[pos] == '\\') {
      ++pos;
      if (pos >= end || static_cast<uint8_t>(t[pos]) < 32) return {std::move(out), kProfileFail};
    }
    if (out.size() == limit) return {std::move(out), kProfileFail};
    out += t[pos++];
  }
  cursor_ = pos + 1;
  uint32_t length = static_cast<uint32_t>(out.size());
  return {std::move(out), length};
}

bool Profile::AtEndOfLine() {
  if (!cursor_) return true;
  size_t end = SectionEnd(*section_);
  cursor_ = SkipBlanks(text_, *cursor_, end);
  return *cursor_ >= end || IsLineEnd(text_[*cursor_]);
}

ProfileCopy Profile::NextLine(uint32_t capacity) {
  if (!section_) return {std::string(), 0};
  std::string_view t = text_;
  size_t end = SectionEnd(*section_);
  size_t pos = cursor_ ? *cursor_ : BodyStart(*section_);
  if (pos >= end || t[pos] == '[') return {std::nullopt, 0};

  size_t limit = CopyLimit(capacity);
  std::string out;
  bool full = false;
  while (pos < end && !IsLineEnd(t[pos])) {
    if (t[pos] == '\\' && ++pos == end) break;  // the character after a backslash is literal
    if (out.size() == limit) full = true;
    if (!full) out += t[pos];
    ++pos;
  }
  bool reached_line_end = pos < end && !full;
  size_t next = SkipLineEnd(t, pos, end);
  if (next >= end || t[next] == '[') {
    section_.reset();
    cursor_.reset();
  } else {
    cursor_ = next;
  }
  uint32_t result = reached_line_end ? static_cast<uint32_t>(out.size()) : kProfileFail;
  return {std::move(out), result};
}

// ---- Edits
// ---------------------------------------------------------------------------------------

bool Profile::Insert(size_t pos, std::string_view bytes, size_t owner) {
  if (text_.size() + bytes.size() > kMaxProfileBytes) return false;
  text_.insert(pos, bytes);
  SetSectionLength(owner, static_cast<uint32_t>(SectionLength(owner) + bytes.size()));
  if (section_ && *section_ > pos) *section_ += bytes.size();
  if (cursor_ && *cursor_ > pos) *cursor_ += bytes.size();
  return true;
}

// A cursor inside the removed range lands at its start, so it never points past the text.
void Profile::Erase(size_t pos, size_t n, size_t owner) {
  n = std::min(n, text_.size() - pos);
  text_.erase(pos, n);
  SetSectionLength(owner, static_cast<uint32_t>(SectionLength(owner) - n));
  if (section_ && *section_ >= pos + n) *section_ -= n;
  if (cursor_ && *cursor_ >= pos + n)
    *cursor_ -= n;
  else if (cursor_ && *cursor_ > pos)
    cursor_ = pos;
}

// ---- Checking
// ------------------------------------------------------------------------------------

std::string Profile::CheckInvariants() const {
  bool section_seen = !section_;
  size_t pos = 0;
  while (pos < text_.size()) {
    if (text_[pos] != '[') return "section at " + std::to_string(pos) + " does not start with [";
    if (text_.size() - pos < kHeaderBytes) return "header cut short at " + std::to_string(pos);
    for (size_t i = 5; i <= 10; ++i) {
      if (text_[pos + i] != '\0') return "header bytes 5-10 not zero at " + std::to_string(pos);
    }
    uint32_t n = SectionLength(pos);
    if (n < kHeaderBytes || n > text_.size() - pos) {
      return "bad length " + std::to_string(n) + " at " + std::to_string(pos);
    }
    if (section_ && *section_ == pos) {
      section_seen = true;
      if (cursor_ && (*cursor_ < pos + kHeaderBytes || *cursor_ > pos + n)) {
        return "cursor " + std::to_string(*cursor_) + " outside its section";
      }
    }
    pos += n;
  }
  if (!section_seen) return "current section is not a section start";
  if (cursor_ && !section_) return "cursor without a section";
  return {};
}

}  // namespace orva::services
