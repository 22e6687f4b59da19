// A machine running a program written in QX assembly, assembled in-process with the standard
// include file and loaded by the loader from a temporary resource folder; its user data folder
// (debug.log, saves) is temporary too. Each test builds its own and throws it away.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/host.h"
#include "platform/headless/headless_platform.h"
#include "support/temp_dir.h"
#include "vm/ring.h"

namespace orva::test {

using Defines = std::vector<std::pair<std::string, int64_t>>;

// The image bytes of `source`; fails the calling test (and returns nothing) on errors.
std::vector<uint8_t> Assemble(std::string_view source, const Defines& defines = {},
                              std::map<std::string, uint32_t>* symbols = nullptr);

// The symbols of a listing (qxasm -l): labels and constants by name.
std::map<std::string, uint32_t> ListingSymbols(const std::string& listing);

class AsmVm {
 public:
  explicit AsmVm(std::string_view source, const Defines& defines = {});

  TempDir dir;
  platform::HeadlessPlatform platform{nullptr};
  Host host{platform};

  // The address of a label or the value of a constant of the program.
  uint32_t Sym(const std::string& name) const;
  uint32_t U32(uint32_t address) const { return host.mem.U32At(address); }
  const std::vector<std::string>& alerts() const { return platform.shown_alerts(); }

 private:
  std::map<std::string, uint32_t> symbols_;
};

// A program that records each message it receives (code, p1, p2, p3, and the clock in
// milliseconds) and answers it with ANSWER (default 1); with QUIT_ANSWERS set, the n-th message 3
// is answered with bit n of it instead. With TIMER_MS set it starts the program timer with that
// interval during message 1; with FAULT_ON set it runs an illegal instruction in that message.
extern const std::string_view kRecorderSource;

struct Recorded {
  vm::Message msg;
  uint32_t ms;
  friend bool operator==(const Recorded&, const Recorded&) = default;
};

std::vector<Recorded> RecordedMessages(const AsmVm& vm);

}  // namespace orva::test
