// The shell on the headless back end: start-up, the close and quit requests, the host timer,
// what reaches the display, the host's hotkeys and screenshots.
#include <gtest/gtest.h>
#include <spng.h>

#include <cstdlib>
#include <optional>

#include "graphics/screen.h"
#include "host/hotkeys.h"
#include "host/run_loop.h"
#include "host/screenshot.h"
#include "support/asm_vm.h"
#include "support/test_host.h"

namespace orva::test {
namespace {

using platform::Event;
using platform::EventType;
using platform::Rect;
constexpr uint64_t kMs = 1'000'000;

// Start-up, then the event loop for `ticks` host ticks, after which the quit request of --ticks
// ends the program whatever it answers; returns the exit status.
int RunFor(AsmVm& t, uint64_t ticks) {
  t.host.options.ticks = ticks;
  return ExitStatusOf([&] { host::RunLoadedProgram(t.host); });
}

Event Key(uint16_t scancode, uint16_t modifiers, EventType type = EventType::kKeyDown) {
  Event e;
  e.type = type;
  e.scancode = scancode;
  e.modifiers = modifiers;
  return e;
}

std::vector<uint32_t> Codes(const AsmVm& t) {
  std::vector<uint32_t> codes;
  for (const Recorded& r : RecordedMessages(t)) codes.push_back(r.msg.code);
  return codes;
}

// Draws a rectangle on the screen on message 2 (X, Y, W, H, COLOUR), nothing else; allows every
// close.
const std::string_view kPainter = R"(
        .include "qx.inc"
        .code
main:   enter 0, 0
        cmp.l [fp+MSG_CODE], #MSG_STARTUP2
        bne .done
        syscall GFX_DRAW_RECTANGLE, #BM_SCREEN, #X, #Y, #W, #H, #COLOUR, #0
.done:  mov.b [MSGRESULT], #1
        ret 0
)";

TEST(StartUp, OpensTheNamedWindowOverAScreenAsWideAsAllDisplays) {
  AsmVm t(kRecorderSource);
  t.platform.set_displays({{1920, 1080}, {1280, 1024}});
  t.host.folders.game_name = "Castle";
  t.host.options.scale = 2;
  RunFor(t, 1);
  EXPECT_EQ(t.platform.title(), "Castle");
  EXPECT_TRUE(t.platform.window_shown());
  EXPECT_EQ(t.host.gfx.screen.width * 10000 + t.host.gfx.screen.height, 32001080);
  EXPECT_EQ(t.host.platform.display().ViewSize(), (platform::Size{500, 300}));
}

// Both paths of Part of the close button and the quit command, with every answer: the number
// of times message 3 is asked, and whether the process ends there.
TEST(CloseAndQuit, AskTheProgramAndEndOnlyWhenEveryAnswerAllows) {
  Event close, quit;
  close.type = EventType::kCloseRequested;
  quit.type = EventType::kQuitRequested;
  const Event ctrl_q = Key(0x14, platform::kModCtrl);
  // On a French keyboard Q sits where a US keyboard has A, and the key in the US Q position
  // gives A: the letter the layout gives decides.
  Event french_q = Key(0x04, platform::kModCtrl), french_a = Key(0x14, platform::kModCtrl);
  french_q.text = "q";
  french_a.text = "a";
  struct Case {
    const char* name;
    Event request;
    int answers;  // bit n: the answer to the n-th message 3
    size_t asked;
    bool ends;
  } cases[] = {
      {"close allowed twice", close, 0b11, 2, true},
      {"close refused for the window", close, 0b10, 1, false},
      {"close refused for the application", close, 0b01, 2, false},
      {"quit allowed", quit, 0b1, 1, true},
      {"quit refused", quit, 0b0, 1, false},
      {"Ctrl+Q allowed", ctrl_q, 0b1, 1, true},
      {"Ctrl+Q refused", ctrl_q, 0b0, 1, false},
      {"Ctrl+Q on a French keyboard", french_q, 0b1, 1, true},
      {"Ctrl+A on a French keyboard", french_a, 0b1, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AsmVm t(kRecorderSource, {{"QUIT_ANSWERS", c.answers}});
    t.platform.Inject(c.request, 1 * kMs);
    EXPECT_EQ(RunFor(t, 4), 0);
    std::vector<Recorded> got = RecordedMessages(t);
    size_t asked = 0;
    for (const Recorded& r : got) asked += r.msg.code == 3 && r.ms == 1;
    EXPECT_EQ(asked, c.asked);
    // A program that refused runs on to the end of --ticks at 20 ms, which asks once more.
    EXPECT_EQ(got.back().ms, c.ends ? 1u : 20u);
  }
}

TEST(HostTimer, TicksEvery16thIdleTickAndNotDuringALiveResize) {
  for (bool live_resize : {false, true}) {
    SCOPED_TRACE(live_resize);
    AsmVm t(kRecorderSource);
    t.host.shell.live_resize = live_resize;
    RunFor(t, 40);
    std::vector<uint32_t> want = {1, 2, 9, 8, 9, 11, 11, 3};  // 11 at 80 and 160 ms
    if (live_resize) want = {1, 2, 9, 8, 3};                  // the pending 9 waits too
    EXPECT_EQ(Codes(t), want);
    if (!live_resize) {
      EXPECT_EQ(RecordedMessages(t)[5].ms, 80u);
    }
  }
}

TEST(Presentation, OnlyTheDirtyRectangleThenTheWholeViewWhenItChanges) {
  AsmVm t(kPainter, {{"X", 990}, {"Y", 5}, {"W", 20}, {"H", 10}, {"COLOUR", 0xFFFF0000}});
  t.host.options.scale = 2;
  Event exposed;
  exposed.type = EventType::kExposed;
  t.platform.Inject(exposed, 2 * kMs);
  RunFor(t, 2);
  // The square is cut to the 500 x 300 view, and runs that draw nothing present nothing.
  ASSERT_EQ(t.platform.presented().size(), 2u);
  EXPECT_EQ(t.platform.presented()[0], (Rect{990, 5, 0, 10}));
  EXPECT_EQ(t.platform.presented()[1], (Rect{0, 0, 500, 300}));

  // A bigger window shows more of the screen at once, before the program hears of it.
  t.host.platform.display().SetWindowFrame({0, 0, 2400, 1000});
  EXPECT_EQ(ExitStatusOf([&] { host::RunEventLoop(t.host); }), 0);
  EXPECT_EQ(t.platform.presented().back(), (Rect{0, 0, 1200, 500}));
}

// Decodes a PNG to RGBA; nullopt when it is not one.
struct Picture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;
  uint32_t At(uint32_t x, uint32_t y) const {  // 0xRRGGBBAA
    const uint8_t* p = &rgba[(size_t{y} * width + x) * 4];
    return uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3];
  }
};
std::optional<Picture> DecodePng(const std::vector<uint8_t>& png) {
  std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> ctx(spng_ctx_new(0), spng_ctx_free);
  spng_ihdr ihdr;
  size_t size = 0;
  if (spng_set_png_buffer(ctx.get(), png.data(), png.size()) || spng_get_ihdr(ctx.get(), &ihdr) ||
      spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size))
    return std::nullopt;
  Picture p{ihdr.width, ihdr.height, std::vector<uint8_t>(size)};
  if (spng_decode_image(ctx.get(), p.rgba.data(), size, SPNG_FMT_RGBA8, 0)) return std::nullopt;
  return p;
}

TEST(Screenshot, IsTheViewSizedTopLeftOfTheScreenAndOpaque) {
  struct Case {
    platform::Size display;
    int32_t scale;
    uint32_t width, height;
  } cases[] = {
      {{1920, 1080}, 1, 1000, 600}, {{800, 500}, 1, 800, 500}, {{1920, 1080}, 4, 250, 150}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scale);
    AsmVm t(kPainter, {{"X", 1}, {"Y", 2}, {"W", 3}, {"H", 4}, {"COLOUR", 0x40FF8000}});
    t.platform.set_displays({c.display});
    t.host.options.scale = c.scale;
    RunFor(t, 1);
    std::optional<std::vector<uint8_t>> png = host::EncodeView(t.host);
    ASSERT_TRUE(png);
    std::optional<Picture> shot = DecodePng(*png);
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->width * 10000 + shot->height, c.width * 10000 + c.height);
    EXPECT_EQ(shot->At(0, 0), 0x000000FFu);
    EXPECT_EQ(shot->At(3, 5) & 0xFF, 0xFFu);  // drawn half transparent, shown opaque
    EXPECT_NE(shot->At(3, 5), 0x000000FFu);
  }
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(Hotkeys, AreKeptFromTheProgramAndActOncePerPress) {
  AsmVm t(kPainter, {{"X", 0}, {"Y", 0}, {"W", 1}, {"H", 1}, {"COLOUR", 0xFFFFFFFF}});
  t.host.folders.game_name = "Castle";
  const ScopedEnv home("HOME", t.dir.path());
  const ScopedEnv config("XDG_CONFIG_HOME", t.dir.Sub("config"));
  WriteText(t.dir.path() + "/config/user-dirs.dirs",
            "# written by xdg-user-dirs-update\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
  RunFor(t, 1);
  platform::Display& display = t.host.platform.display();
  using platform::kModAlt, platform::kModCtrl, platform::kModShift;

  Event alt_enter = Key(0x28, kModAlt);
  EXPECT_TRUE(host::HandleHotkey(t.host, alt_enter));
  EXPECT_TRUE(display.FullScreen());
  alt_enter.repeat = true;
  EXPECT_TRUE(host::HandleHotkey(t.host, alt_enter));  // held down: no second toggle
  EXPECT_TRUE(display.FullScreen());
  EXPECT_TRUE(host::HandleHotkey(t.host, Key(0x28, 0, EventType::kKeyUp)));
  EXPECT_FALSE(host::HandleHotkey(t.host, Key(0x28, 0, EventType::kKeyUp)));  // already released
  EXPECT_FALSE(host::HandleHotkey(t.host, Key(0x28, kModAlt | kModShift)));
  EXPECT_FALSE(host::HandleHotkey(t.host, Key(0x14, kModCtrl | kModShift)));

  // Screenshots go to the pictures folder of user-dirs.dirs and never replace one another.
  const Event shot = Key(0x13, kModCtrl | kModAlt);
  EXPECT_TRUE(host::HandleHotkey(t.host, shot));
  EXPECT_TRUE(host::HandleHotkey(t.host, shot));
  const std::string stem = t.dir.path() + "/Bilder/Orva/Castle 2000-01-01 00.00.00";
  for (const char* suffix : {".png", " 2.png"}) {
    const std::string bytes = ReadText(stem + suffix);
    std::optional<Picture> saved = DecodePng(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    ASSERT_TRUE(saved) << suffix;
    EXPECT_EQ(saved->At(0, 0), 0xFFFFFFFFu);
  }
}

}  // namespace
}  // namespace orva::test
