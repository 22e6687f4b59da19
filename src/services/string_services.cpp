// Group 3: the C library's string and memory operations on the program's own memory, the
// one-value formatter SYS_PRTFMT, upper-casing and a line to the system log.
//
// Every address, string and count goes through SysCall: a range or a string that leaves the
// image fails the whole command with the machine's bad-address fault, before anything is
// written. Copies are overlap-safe throughout (the program's ranges may overlap in any way).
//
//   cmd  arguments                       effect                                    R14
//   ---  ------------------------------  ----------------------------------------  ------------
//    0   dest, format, size, value(s)    SYS_PRTFMT: append one formatted value    chars added
//    1   dest, src                       copy the string with its NUL              -
//    2   dest, src                       append src to dest                        -
//    3   s                               -                                         length
//    4   a, b                            compare strings                           a[i] - b[i]
//    5   s                               upper-case in place                       -
//   10   dest, src, count                copy count bytes                          -
//   11   dest, src, count                copy count bytes, ranges may overlap      -
//   12   dest, byte, count               fill                                      -
//   13   a, b, count                     compare count bytes                       a[i] - b[i]
//   14   s                               one entry in the system log               -
// Counts are signed: zero or negative does nothing (and compares equal).
#include <algorithm>
#include <cstring>

#include "services/print_format.h"
#include "services/syscall.h"
#include "services/upper_case.h"

namespace orva::services {
namespace {

enum : uint32_t {
  SYS_PRTFMT = 0,
  kCopyString = 1,
  kAppendString = 2,
  kStringLength = 3,
  kCompareStrings = 4,
  kUpperCase = 5,
  kCopyBytes = 10,
  kMoveBytes = 11,
  kFillBytes = 12,
  kCompareBytes = 13,
  kSystemLog = 14,
};

// The bytes from addr to the end of the image (at least one).
const uint8_t* Tail(const SysCall& call, uint32_t addr, size_t& available) {
  if (addr >= call.mem().size) throw ServiceFault{addr};
  available = call.mem().size - addr;
  return call.Bytes(addr, available);
}

// The string at addr, or only its first `limit` bytes when it is longer: printf reads no further
// than the precision, so no NUL is needed within it.
std::string_view StringPrefix(const SysCall& call, uint32_t addr, std::optional<uint32_t> limit) {
  if (!limit) return call.String(addr);
  if (*limit == 0) return {};
  size_t available;
  const uint8_t* p = Tail(call, addr, available);
  size_t n = std::min<size_t>(*limit, available);
  const void* nul = std::memchr(p, 0, n);
  if (nul)
    n = static_cast<const uint8_t*>(nul) - p;
  else if (n < *limit)
    throw ServiceFault{call.mem().size};
  return {reinterpret_cast<const char*>(p), n};
}

void PrintFormatted(Host& host, const SysCall& call) {
  uint32_t size = call.Arg(2);
  if (size != 8 && size != 4 && size != 1) {
    ShowMessageBox(host, "SYS_PRTFMT: unsupported arg size");
    call.Result(0);
    return;
  }
  uint32_t dest = call.Arg(0);
  size_t existing = call.String(dest).size();
  auto format = ParsePrintFormat(call.String(call.Arg(1)), size);
  if (!format) {  // refused: nothing appended
    call.Result(0);
    return;
  }
  uint64_t value = 0;
  std::string_view text;
  if (format->conversion) {
    if (size == 8)
      value = call.Arg64(3);
    else if (size == 4)
      value = call.Arg(3);
    else
      text = StringPrefix(call, call.Arg(3), format->conversion->precision);
  }
  // Rendered on the host first: the value string or the format may overlap the destination.
  std::string out = RenderPrintFormat(*format, value, text);
  uint8_t* at = call.Bytes(dest + static_cast<uint32_t>(existing), out.size() + 1);
  std::memcpy(at, out.data(), out.size());
  at[out.size()] = 0;
  call.Result(static_cast<uint32_t>(out.size()));
}

// The first differing byte of a minus that of b, both unsigned; 0 when the strings are equal.
// Walks only as far as the comparison needs, so each string must end inside the image only up
// to its first difference.
uint32_t CompareStrings(const SysCall& call, uint32_t a, uint32_t b) {
  size_t na, nb;
  const uint8_t* pa = Tail(call, a, na);
  const uint8_t* pb = Tail(call, b, nb);
  for (size_t i = 0;; ++i) {
    if (i == na || i == nb) throw ServiceFault{call.mem().size};
    if (pa[i] != pb[i]) return static_cast<uint32_t>(pa[i] - pb[i]);
    if (pa[i] == 0) return 0;
  }
}

void UpperCase(const SysCall& call, uint32_t addr) {
  std::string_view s = call.String(addr);
  std::optional<std::string> upper = UpperCaseUtf8(s);
  if (!upper || *upper == s) return;  // not UTF-8: left as it is
  // A longer result runs on over the bytes behind the string, as far as the image allows;
  // one that would leave the image is a fault and writes nothing.
  uint8_t* at = call.Bytes(addr, upper->size() + 1);
  std::memcpy(at, upper->data(), upper->size());
  at[upper->size()] = 0;
}

}  // namespace

void StringService(Host& host, SysCall& call, uint32_t command) {
  switch (command) {
    case SYS_PRTFMT: PrintFormatted(host, call); return;
    case kCopyString: {
      uint32_t dest = call.Arg(0), src = call.Arg(1);
      if (dest == src) return;
      std::string_view s = call.String(src);
      std::memmove(call.Bytes(dest, s.size() + 1), s.data(), s.size() + 1);
      return;
    }
    case kAppendString: {
      uint32_t dest = call.Arg(0);
      auto end = dest + static_cast<uint32_t>(call.String(dest).size());
      std::string_view s = call.String(call.Arg(1));
      std::memmove(call.Bytes(end, s.size() + 1), s.data(), s.size() + 1);
      return;
    }
    case kStringLength: call.Result(static_cast<uint32_t>(call.String(call.Arg(0)).size())); return;
    case kCompareStrings: call.Result(CompareStrings(call, call.Arg(0), call.Arg(1))); return;
    case kUpperCase: UpperCase(call, call.Arg(0)); return;
    case kCopyBytes:
    case kMoveBytes: {
      int32_t count = call.IntArg(2);
      if (count <= 0) return;
      uint8_t* dest = call.Bytes(call.Arg(0), count);
      std::memmove(dest, call.Bytes(call.Arg(1), count), count);
      return;
    }
    case kFillBytes: {
      int32_t count = call.IntArg(2);
      if (count <= 0) return;
      std::memset(call.Bytes(call.Arg(0), count), static_cast<uint8_t>(call.Arg(1)), count);
      return;
    }
    case kCompareBytes: {
      int32_t count = call.IntArg(2);
      uint32_t result = 0;
      if (count > 0) {
        const uint8_t* a = call.Bytes(call.Arg(0), count);
        const uint8_t* b = call.Bytes(call.Arg(1), count);
        auto diff = std::mismatch(a, a + count, b);
        if (diff.first != a + count) result = static_cast<uint32_t>(*diff.first - *diff.second);
      }
      call.Result(result);
      return;
    }
    case kSystemLog: host.platform.alerts().SystemLog(call.String(call.Arg(0))); return;
    default: UnknownCommand(host); return;
  }
}

}  // namespace orva::services
