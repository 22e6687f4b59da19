#include "services/print_format.h"

#include <algorithm>
#include <cstdio>

namespace orva::services {
namespace {

constexpr std::string_view kFlagChars = "-+ #0";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal field at `i`; nullopt when it exceeds kMaxFieldWidth (checked digit by digit,
// so no run of digits can overflow).
std::optional<uint32_t> ReadField(std::string_view s, size_t& i) {
  uint32_t v = 0;
  while (i < s.size() && IsDigit(s[i])) {
    v = v * 10 + static_cast<uint32_t>(s[i] - '0');
    if (v > kMaxFieldWidth) return std::nullopt;
    ++i;
  }
  return v;
}

bool KindFitsSize(char kind, uint32_t size) {
  switch (size) {
    case 8: return std::string_view("duxX").find(kind) != std::string_view::npos;
    case 4: return std::string_view("diuoxXc").find(kind) != std::string_view::npos;
    case 1: return kind == 's';
    default: return false;
  }
}

// The flag and precision combinations printf leaves undefined.
bool FlagsFitKind(const PrintConversion& c) {
  bool numeric = c.kind != 'c' && c.kind != 's';
  bool alternate = c.kind == 'o' || c.kind == 'x' || c.kind == 'X';
  if (c.flags.find('#') != std::string::npos && !alternate) return false;
  if (c.flags.find('0') != std::string::npos && !numeric) return false;
  if (c.precision && c.kind == 'c') return false;
  return true;
}

// Parses the conversion whose "%" is at format[i - 1]; `i` ends just past its kind.
std::optional<PrintConversion> ParseConversion(std::string_view f, size_t& i, uint32_t size) {
  PrintConversion c;
  c.size = size;
  while (i < f.size() && kFlagChars.find(f[i]) != std::string_view::npos) c.flags += f[i++];
  if (i < f.size() && IsDigit(f[i])) {
    c.width = ReadField(f, i);
    if (!c.width) return std::nullopt;
  }
  if (i < f.size() && f[i] == '.') {
    ++i;
    c.precision = ReadField(f, i);  // "." alone is precision 0, as in printf
    if (!c.precision) return std::nullopt;
  }
  std::string_view length;
  size_t length_start = i;
  while (i < f.size() && f[i] == 'l') ++i;
  length = f.substr(length_start, i - length_start);
  bool wide = length == "l" || length == "ll";
  if (size == 8 ? !wide : !length.empty()) return std::nullopt;
  if (i >= f.size()) return std::nullopt;
  c.kind = f[i++];
  if (!KindFitsSize(c.kind, size) || !FlagsFitKind(c)) return std::nullopt;

  // Rebuilt from the checked parts, never copied from the format.
  c.directive = "%" + c.flags;
  if (c.width) c.directive += std::to_string(*c.width);
  if (c.precision) c.directive += "." + std::to_string(*c.precision);
  if (size == 8) c.directive += "ll";
  c.directive += c.kind;
  return c;
}

}  // namespace

std::optional<PrintFormat> ParsePrintFormat(std::string_view format, uint32_t size) {
  PrintFormat out;
  std::string* literal = &out.before;
  size_t i = 0;
  while (i < format.size()) {
    char ch = format[i++];
    if (ch != '%') {
      *literal += ch;
      continue;
    }
    if (i < format.size() && format[i] == '%') {
      *literal += '%';
      ++i;
      continue;
    }
    if (out.conversion) return std::nullopt;  // a second conversion
    out.conversion = ParseConversion(format, i, size);
    if (!out.conversion) return std::nullopt;
    literal = &out.after;
  }
  return out;
}

std::string RenderPrintFormat(const PrintFormat& format, uint64_t value, std::string_view text) {
  std::string out = format.before;
  if (const auto& c = format.conversion) {
    const char* directive = c->directive.c_str();
    auto u32 = static_cast<uint32_t>(value);
    bool is_signed = c->kind == 'd' || c->kind == 'i';
    if (c->kind == 's') {
      std::string arg(text);
      std::string field(std::max<size_t>(arg.size(), c->width.value_or(0)) + 1, '\0');
      int n = std::snprintf(field.data(), field.size(), directive, arg.c_str());
      out.append(field.data(), static_cast<size_t>(std::clamp<int>(n, 0, int(field.size()) - 1)));
    } else {
      char field[kMaxFieldWidth + 32];  // the widest number with the widest width or precision
      int n;
      if (c->size == 8 && is_signed)
        n = std::snprintf(field, sizeof field, directive, (long long)value);
      else if (c->size == 8)
        n = std::snprintf(field, sizeof field, directive, (unsigned long long)value);
      else if (c->kind == 'c')
        n = std::snprintf(field, sizeof field, directive, int(u32 & 0xFF));
      else if (is_signed)
        n = std::snprintf(field, sizeof field, directive, static_cast<int32_t>(u32));
      else
        n = std::snprintf(field, sizeof field, directive, u32);
      // %c of 0 counts its NUL, as printf does.
      out.append(field, static_cast<size_t>(std::clamp<int>(n, 0, int(sizeof field) - 1)));
    }
  }
  out += format.after;
  return out;
}

}  // namespace orva::services
