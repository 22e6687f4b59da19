// The fuzz targets: one entry per parser of untrusted input, each a plain function of the input
// bytes. The same entries run under libFuzzer (fuzz/main.cpp, one executable per target) and in
// the test suite, which replays every hand-made seed and every regression input through them
// (tests/fuzz/replay_test.cpp).
//
// A target is a file in fuzz/targets/ holding
//
//   ORVA_FUZZ_TARGET(name) {
//     ... parse `input` (a std::span<const uint8_t>) and check what must hold ...
//   }
//
// and one line in fuzz/CMakeLists.txt. A broken property is reported with FUZZ_CHECK, which
// aborts with the condition, file and line, so libFuzzer keeps the input as a crash.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orva::fuzz {

using Input = std::span<const uint8_t>;
using Entry = void (*)(Input);

struct Target {
  const char* name;
  Entry entry;
};

// Every target linked into this program, in no particular order.
const std::vector<Target>& Targets();

struct Registration {
  Registration(const char* name, Entry entry);
};

[[noreturn]] void CheckFailed(const char* condition, const char* file, int line);

// The input as text.
inline std::string_view Text(Input input) {
  return {reinterpret_cast<const char*>(input.data()), input.size()};
}

// Takes the input apart front to back: small numbers and length-prefixed strings. Past the end
// every read gives zero or an empty string, so any input is a valid script.
class Reader {
 public:
  explicit Reader(Input input) : rest_(input) {}
  bool empty() const { return rest_.empty(); }
  uint8_t Byte();
  uint32_t U32();
  uint64_t U64();
  // A string of up to 255 bytes, its length in the byte before it.
  std::string_view String();
  // Everything not read yet.
  std::string_view Rest();

 private:
  Input rest_;
};

// A folder of its own for a target that needs files, holding "data/" for the user data folder
// and "res/" for the resource folder, on a memory file system when there is one. A target keeps
// one in a static, so the folder goes when the process ends.
class Scratch {
 public:
  explicit Scratch(std::string_view tag);
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::string& data() const { return data_; }  // each ends with "/"
  const std::string& res() const { return res_; }
  // Empties the user data folder: what one input wrote must not steer the next.
  void ClearData() const;
  void Write(const std::string& path, std::string_view bytes) const;

 private:
  std::string root_, data_, res_;
};

}  // namespace orva::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::orva::fuzz::CheckFailed(#condition, __FILE__, __LINE__))

#define ORVA_FUZZ_TARGET(name)                                                                \
  static void FuzzTarget_##name(::orva::fuzz::Input input);                                   \
  static const ::orva::fuzz::Registration fuzz_registration_##name(#name, FuzzTarget_##name); \
  static void FuzzTarget_##name([[maybe_unused]] ::orva::fuzz::Input input)
