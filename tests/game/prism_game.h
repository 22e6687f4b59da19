// Prism, the bundled game (examples/prism), run headless in-process for the tests: messages
// are posted as the host would post them while its timers run on the virtual clock, and the
// game is judged by its own variables (read by name from its listing), its settings file and
// the screen.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "core/host.h"
#include "core/message_codes.h"
#include "host/run_loop.h"
#include "host/timers.h"
#include "platform/headless/headless_platform.h"
#include "support/asm_vm.h"
#include "support/temp_dir.h"
#include "vm/loader.h"
#include "vm/messages.h"

namespace orva::test {

inline const std::string kGame = ORVA_BINARY_DIR "/examples/prism/";
inline const std::string kListing = ORVA_BINARY_DIR "/examples/prism.lst";

// Key and button codes as the host sends them.
inline constexpr uint32_t kLeft = 0x25, kSpace = 0x20, kReturn = 0x0D, kBackspace = 0x08;
inline constexpr uint32_t kButtonLeft = 1;

class Prism {
 public:
  // Starts the game with `data` as its user data folder, as the host does at start-up.
  explicit Prism(const std::string& data) : symbols_(ListingSymbols(ReadText(kListing))) {
    host_.folders.resource = kGame;
    host_.folders.user_data = data + "/";
    EXPECT_TRUE(vm::LoadImage(host_));
    ++host_.machine.loaded_count;
    host::StartProgram(host_);
  }

  // Runs both timers on the virtual clock until it reads `ms` milliseconds since start-up,
  // as the host's run loop does.
  void RunUntil(uint64_t ms) {
    host::Shell& shell = host_.shell;
    platform::Clock& clock = platform_.clock();
    const uint64_t end = ms * 1'000'000;
    for (;;) {
      host::ProgramTimer& timer = shell.program_timer;
      uint64_t due = shell.next_host_tick_ns;
      if (timer.running && timer.next_ns < due) due = timer.next_ns;
      if (due > end) break;
      clock.WaitUntil(due);
      if (timer.running && timer.next_ns <= due) {
        timer.next_ns += uint64_t{timer.interval_ms} * 1'000'000;
        host::ProgramTick(host_);
      }
      if (shell.next_host_tick_ns <= due) {
        shell.next_host_tick_ns += host::kHostTickNanos;
        host::HostTick(host_);
      }
    }
    clock.WaitUntil(end);
  }
  uint64_t Now() { return platform_.clock().MonotonicNanos() / 1'000'000; }
  void Wait(uint64_t ms) { RunUntil(Now() + ms); }

  void Post(vm::Message m) { vm::PostMsg(host_, m); }
  // A key pressed and released, with the text its layout gives (message 14).
  void Key(uint32_t code, std::string_view typed = {}) {
    Post({kMsgKeyDown, code, 1, 0});
    if (!typed.empty()) {
      uint8_t b[8] = {};
      for (size_t i = 0; i < typed.size() && i < 8; ++i) b[i] = static_cast<uint8_t>(typed[i]);
      Post({kMsgKeyText, vm::Ld32(b), vm::Ld32(b + 4), 0});
    }
    Post({kMsgKeyUp, code, 1, 0});
    Wait(60);
  }
  void Click(int x, int y) {
    const uint32_t at = static_cast<uint32_t>(y) << 16 | static_cast<uint32_t>(x);
    Post({kMsgKeyDown, kButtonLeft, 1, at});
    Post({kMsgKeyUp, kButtonLeft, 0, at});
    Wait(60);
  }
  int Close() { return vm::ForceMsg(host_, {kMsgQuit, 0, 0, 0}); }

  uint32_t Sym(const std::string& name) const { return symbols_.at(name); }
  int32_t Var(const std::string& name) const {
    return static_cast<int32_t>(host_.mem.U32At(Sym(name)));
  }
  std::string Text(uint32_t address) const {
    return reinterpret_cast<const char*>(host_.mem.base + address);
  }
  // Row `n` of the high-score table: name and points.
  std::pair<std::string, int32_t> Row(int n) const {
    const uint32_t row = Sym("table") + n * Sym("SCORE_SIZE");
    return {Text(row), static_cast<int32_t>(host_.mem.U32At(row + Sym("SCORE_POINTS")))};
  }
  int32_t State() const { return Var("state"); }
  int32_t St(const std::string& name) const { return static_cast<int32_t>(Sym(name)); }

  // The screen pixel at (x, y) as a colour word 0xAARRGGBB.
  uint32_t Pixel(int x, int y) const {
    const uint8_t* p =
        host_.gfx.screen.pixels.get() + (static_cast<size_t>(y) * host_.gfx.screen.width + x) * 4;
    return uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  }

  // The game never shows an alert (one would be a fault, or a service it misuses), and it
  // found every one of its pictures.
  void ExpectNoAlertsAndAllPictures() const {
    for (const std::string& alert : platform_.shown_alerts()) ADD_FAILURE() << alert;
    const std::string log = ReadText(host_.folders.user_data + "debug.log");
    EXPECT_EQ(log.find("missing"), std::string::npos) << log;
  }

 private:
  std::map<std::string, uint32_t> symbols_;
  platform::HeadlessPlatform platform_{nullptr};
  Host host_{platform_};
};

// Messages 1 and 2 run the start-up; the first frames follow once the timer runs.
inline Prism* Started(std::unique_ptr<Prism>& game, const std::string& data) {
  game = std::make_unique<Prism>(data);
  game->RunUntil(200);
  return game.get();
}

// Plays a game badly: the paddle waits in the left corner, each ball is served and lost.
inline void LoseEveryBall(Prism& g) {
  g.Post({kMsgKeyDown, kLeft, 1, 0});  // held to the end
  while (g.State() == g.St("ST_SERVE") || g.State() == g.St("ST_PLAY")) {
    if (g.State() == g.St("ST_SERVE")) g.Key(kSpace);
    g.Wait(200);
    ASSERT_LT(g.Now(), 120'000u) << "the balls were not lost";
  }
  g.Post({kMsgKeyUp, kLeft, 1, 0});
}

}  // namespace orva::test
