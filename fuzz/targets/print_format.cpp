// A format and a value for the one-value formatter: the first byte picks the argument size, the
// next eight the value, the rest up to a NUL is the format (the string argument of size 1 comes
// after that NUL). A format that is accepted must print exactly what the C library prints for
// it, which is only safe to ask because the formatter accepted it; a refused one prints nothing.
#include <cstdio>
#include <string>

#include "harness.h"
#include "services/print_format.h"

namespace orva::fuzz {
namespace {

// What snprintf makes of the format itself, with the argument the size and kind call for.
std::string Reference(const std::string& format, const services::PrintConversion* c, uint64_t value,
                      const std::string& text) {
  std::string out(format.size() + services::kMaxFieldWidth + text.size() + 64, '\0');
  const char* f = format.c_str();
  auto u32 = static_cast<uint32_t>(value);
  bool is_signed = c && (c->kind == 'd' || c->kind == 'i');
  int n;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  if (!c)
    n = std::snprintf(out.data(), out.size(), f);
  else if (c->kind == 's')
    n = std::snprintf(out.data(), out.size(), f, text.c_str());
  else if (c->size == 8 && is_signed)
    n = std::snprintf(out.data(), out.size(), f, static_cast<long long>(value));
  else if (c->size == 8)
    n = std::snprintf(out.data(), out.size(), f, static_cast<unsigned long long>(value));
  else if (c->kind == 'c')
    n = std::snprintf(out.data(), out.size(), f, static_cast<int>(u32 & 0xFF));
  else if (is_signed)
    n = std::snprintf(out.data(), out.size(), f, static_cast<int32_t>(u32));
  else
    n = std::snprintf(out.data(), out.size(), f, u32);
#pragma GCC diagnostic pop
  FUZZ_CHECK(n >= 0 && static_cast<size_t>(n) < out.size());
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace
}  // namespace orva::fuzz

ORVA_FUZZ_TARGET(print_format) {
  using namespace orva;
  fuzz::Reader in(input);
  static constexpr uint32_t kSizes[] = {8, 4, 1};
  uint32_t size = kSizes[in.Byte() % 3];
  uint64_t value = in.U64();
  std::string_view rest = in.Rest();
  size_t nul = rest.find('\0');
  std::string format(rest.substr(0, nul));
  std::string text(nul == std::string_view::npos ? "" : rest.substr(nul + 1));
  text = text.substr(0, text.find('\0'));

  std::optional<services::PrintFormat> parsed = services::ParsePrintFormat(format, size);
  if (!parsed) return;
  const services::PrintConversion* c = parsed->conversion ? &*parsed->conversion : nullptr;
  // The caller cuts a string argument to the precision before rendering.
  std::string cut = c && c->precision ? text.substr(0, *c->precision) : text;
  std::string rendered = services::RenderPrintFormat(*parsed, value, cut);
  FUZZ_CHECK(rendered == fuzz::Reference(format, c, value, text));
}
