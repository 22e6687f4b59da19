// Any file as a program: the image's sizes are cut down so that a run stays small, then the
// program is loaded and runs as orva --headless runs it (start-up, the window's messages, a few
// input messages, host ticks, the quit request) for a bounded number of instructions. Whatever
// the program does, the host must neither crash nor touch memory outside the image; the
// sanitizers and the run's own checks are the judges.
#include <algorithm>
#include <memory>
#include <vector>

#include "core/host.h"
#include "core/message_codes.h"
#include "harness.h"
#include "host/run_loop.h"
#include "platform/headless/headless_platform.h"
#include "vm/loader.h"
#include "vm/messages.h"
#include "vm/trace.h"

namespace orva::fuzz {
namespace {

constexpr uint64_t kInstructionLimit = 1 << 14;
constexpr uint64_t kHostTicks = 64;  // 0.32 s of virtual time: four tick messages

// The file with a valid magic and version and with sizes that keep the image under 3 MiB: the
// loader's own checks have their target, this one is after the code.
std::vector<uint8_t> Tame(Input input) {
  std::vector<uint8_t> image(input.begin(), input.end());
  image.resize(std::max<size_t>(image.size(), vm::kHeaderSize));
  uint8_t* h = image.data();
  std::copy_n("ORVA6", 6, h + vm::kOffMagic);
  h[vm::kOffReqMajor] = 6;
  h[vm::kOffReqMinor] = 0;
  vm::St32(h + vm::kOffLOADSIZE, static_cast<uint32_t>(image.size()));
  vm::St32(h + vm::kOffZEROSIZE, vm::Ld32(h + vm::kOffZEROSIZE) % (256 << 10));
  vm::St32(h + vm::kOffSTACKSIZE, 256 + vm::Ld32(h + vm::kOffSTACKSIZE) % (64 << 10));
  vm::St32(h + vm::kOffHEAPSIZE, 4096 + vm::Ld32(h + vm::kOffHEAPSIZE) % (1 << 20));
  return image;
}

}  // namespace
}  // namespace orva::fuzz

ORVA_FUZZ_TARGET(interpreter) {
  using namespace orva;
  if (input.size() > (1 << 20)) return;
  static const fuzz::Scratch scratch("interpreter");
  std::vector<uint8_t> image = fuzz::Tame(input);
  scratch.ClearData();
  scratch.Write(scratch.res() + "MAIN.QX",
                {reinterpret_cast<const char*>(image.data()), image.size()});

  platform::HeadlessPlatform platform(nullptr, {{320, 240}});
  Host host(platform);
  host.folders.resource = scratch.res();
  host.folders.user_data = scratch.data();
  host.folders.game_name = "fuzz";
  host.options.headless = true;
  host.options.ticks = fuzz::kHostTicks;
  auto tracer = std::make_shared<vm::Tracer>(nullptr, 0, 0);
  tracer->set_limit(fuzz::kInstructionLimit);
  host.machine.tracer = tracer;

  // The header's first eight bytes, which the host never reads, choose the input messages.
  const uint8_t* h = image.data();
  try {
    FUZZ_CHECK(vm::LoadImage(host));
    ++host.machine.loaded_count;
    host::StartProgram(host);
    vm::PostMsg(host, {kMsgKeyDown, h[0], uint32_t{h[1]} << 16 | h[2], h[3]});
    vm::PostMsg(host, {kMsgKeyText, vm::Ld32(h), vm::Ld32(h + 4), 0});
    vm::PostMsg(host, {kMsgMouseMove, uint32_t{h[4]} << 16 | h[5], h[6], h[7]});
    vm::PostMsg(host, {kMsgKeyUp, h[0], uint32_t{h[1]} << 16 | h[2], h[3]});
    host::RunEventLoop(host);
  } catch (const platform::ProcessExit& e) {
    FUZZ_CHECK(e.status == 0 || e.status == 1);
  }
  FUZZ_CHECK(tracer->executed() <= fuzz::kInstructionLimit);
}
