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
    // Rebuilt from parts that passed the checks of ParseConversion, never copied from the format.
    std::string directive = "%" + c->flags;
    if (c->width) directive += std::to_string(*c->width);
    if (c->precision) directive += "." + std::to_string(*c->precision);
    if (c->size == 8) directive += "ll";
    directive += c->kind;

    std::string arg;
    size_t room = kMaxFieldWidth + 32;  // the widest number with the widest width or precision
    if (c->kind == 's') {
      arg.assign(text);
      room = std::max<size_t>(arg.size(), c->width.value_or(0)) + 1;
    }
    std::string field(room, '\0');
    int n = 0;
    auto u32 = static_cast<uint32_t>(value);
    bool is_signed = c->kind == 'd' || c->kind == 'i';
    if (c->kind == 's') {
      n = std::snprintf(field.data(), room, directive.c_str(), arg.c_str());
    } else if (c->size == 8) {
      n = is_signed ? std::snprintf(field.data(), room, directive.c_str(), static_cast<long long>(value))
                    : std::snprintf(field.data(), room, directive.c_str(),
                                    static_cast<unsigned long long>(value));
    } else if (c->kind == 'c') {
      n = std::snprintf(field.data(), room, directive.c_str(), static_cast<int>(u32 & 0xFF));
    } else {
      n = is_signed ? std::snprintf(field.data(), room, directive.c_str(), static_cast<int32_t>(u32))
                    : std::snprintf(field.data(), room, directive.c_str(), u32);
    }
    // %c of 0 counts its NUL, as printf does; n never exceeds room - 1.
    out.append(field.data(),
               static_cast<size_t>(std::clamp<int>(n, 0, static_cast<int>(room) - 1)));
  }
  out += format.after;
  return out;
}

}  // namespace orva::services
