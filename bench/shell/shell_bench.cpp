// The desktop shell on a virtual X server, each figure beside its anchor from the same run:
//   present   full 1920 x 1080 presents per second through the SDL back end (SDL's default
//             renderer and its software one), against copying the same bytes with memcpy
//   program   frames per second of a program that repaints the whole screen on every tick, in a
//             1920 x 1080 window (one tick message per 5 ms host tick caps it at 200)
//   idle      CPU used by an idle program over 10 s (target: under 2% of one core), and by the
//             X server meanwhile
//   start-up  from process start to the first frame on the screen, against the same program
//             run headless to its end (--ticks 1)
// Usage: shell_bench. Needs Xvfb.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/sdl/sdl_platform.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "support/x_session.h"

namespace {

using namespace orva;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1920, kHeight = 1080, kRuns = 3;
const std::string kOrva = ORVA_BINARY_DIR "/orva";
// A still picture that asks for nothing after start-up: what an idle program costs.
const std::string kHello = ORVA_BINARY_DIR "/examples/hello";

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::vector<std::pair<std::string, std::string>> XEnv(const test::VirtualX& x) {
  return {{"DISPLAY", x.name()}, {"SDL_VIDEODRIVER", "x11"}};
}

// Presents a full frame `frames` times, alternating two colours, through the back end's own
// window; timed until the last frame is on the server's screen.
double PresentsPerSecond(test::VirtualX& x, const char* renderer, int frames) {
  setenv("DISPLAY", x.name().c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  if (renderer)
    setenv("SDL_RENDER_DRIVER", renderer, 1);
  else
    unsetenv("SDL_RENDER_DRIVER");
  std::string error;
  std::unique_ptr<platform::Platform> p = platform::OpenSdlPlatform(error);
  if (!p) return 0;
  platform::Display& display = p->display();
  platform::WindowSpec spec;
  spec.title = "present";
  spec.width = kWidth;
  spec.height = kHeight;
  if (!display.OpenWindow(spec)) return 0;
  display.ShowWindow();
  std::optional<Window> w = x.FindWindow("present", 5000);
  if (!w) return 0;

  std::vector<uint8_t> pixels[2];
  const uint32_t colours[2] = {0xFF8040C0, 0xFF20A060};  // bytes R G B A as the screen holds them
  for (int i = 0; i < 2; ++i) {
    pixels[i].resize(size_t{kWidth} * kHeight * 4);
    for (size_t j = 0; j < pixels[i].size(); j += 4) std::memcpy(&pixels[i][j], &colours[i], 4);
  }
  auto present = [&](int i) {
    platform::Frame frame{pixels[i & 1].data(), kWidth, kHeight, size_t{kWidth} * 4};
    display.Present(frame, {0, 0, kWidth, kHeight});
    platform::Event e;
    while (p->events().Poll(e)) {
    }
  };
  present(1);
  const uint32_t last_rgb = (frames - 1) & 1 ? 0x60A020 : 0xC04080;
  Clock::time_point start = Clock::now();
  for (int i = 0; i < frames; ++i) present(i);
  x.WaitForPixel(*w, 10, 10, last_rgb, 10000);
  return frames / Seconds(start);
}

double CopiesPerSecond(int frames) {
  std::vector<uint8_t> from[2], to(size_t{kWidth} * kHeight * 4);
  for (int i = 0; i < 2; ++i) from[i].assign(to.size(), uint8_t(i + 1));
  Clock::time_point start = Clock::now();
  for (int i = 0; i < frames; ++i) std::memcpy(to.data(), from[i & 1].data(), to.size());
  double rate = frames / Seconds(start);
  if (to[12345] == 7) std::puts("");  // keeps the copies
  return rate;
}

// Frames per second the redraw program reports, its window made 1920 x 1080.
double ProgramFps(test::VirtualX& x) {
  test::TempDir dir;
  test::Child orva({kOrva, "--data-dir", dir.Sub("data"), ORVA_BINARY_DIR "/bench/shell/redraw"},
                   XEnv(x));
  std::optional<Window> w = x.FindWindow("redraw", 10000);
  if (!w) return 0;
  XResizeWindow(x.display(), *w, kWidth, kHeight);
  XFlush(x.display());
  if (orva.Wait(60000) != 0) return 0;
  std::istringstream log(test::ReadText(dir.path() + "/data/debug.log"));
  double frames = 0, ms = 0;
  log >> frames >> ms;
  return ms > 0 ? frames * 1000 / ms : 0;
}

// CPU seconds (user + system) a process has used so far.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  double utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {  // field 3 is the state
    if (i == 14) utime = std::stod(field);
    if (i == 15) {
      stime = std::stod(field);
      break;
    }
  }
  return (utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// Percent of one core the idle hello program (a still picture, a tick message every 80 ms)
// and the X server use over `seconds`.
std::pair<double, double> IdleCpu(test::VirtualX& x, double seconds) {
  test::TempDir dir;
  test::Child orva({kOrva, "--data-dir", dir.Sub("data"), kHello}, XEnv(x));
  if (!x.FindWindow("hello", 10000)) return {0, 0};
  std::this_thread::sleep_for(std::chrono::seconds(1));
  double ours = CpuSeconds(orva.pid()), server = CpuSeconds(x.server_pid());
  Clock::time_point start = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  double elapsed = Seconds(start);
  ours = CpuSeconds(orva.pid()) - ours;
  server = CpuSeconds(x.server_pid()) - server;
  kill(orva.pid(), SIGTERM);
  orva.Wait(5000);
  return {100 * ours / elapsed, 100 * server / elapsed};
}

// From starting the hello program to its sky's first row on the screen (the window's view
// starts at 100, 100 when no window manager moves it).
double SecondsToFirstFrame(test::VirtualX& x) {
  test::TempDir dir;
  Clock::time_point start = Clock::now();
  test::Child orva({kOrva, "--data-dir", dir.Sub("data"), kHello}, XEnv(x));
  Window root = DefaultRootWindow(x.display());
  bool shown = test::WaitFor([&] { return x.Pixel(root, 105, 105) == 0x141E3C; }, 20000);
  double seconds = Seconds(start);
  kill(orva.pid(), SIGTERM);
  orva.Wait(5000);
  test::WaitFor([&] { return x.Pixel(root, 105, 105) != 0x141E3C; }, 5000);
  return shown ? seconds : 0;
}

double SecondsHeadless() {
  test::TempDir dir;
  Clock::time_point start = Clock::now();
  test::RunCommand(kOrva + " --headless --ticks 1 --data-dir " + dir.Sub("data") + " " + kHello);
  return Seconds(start);
}

}  // namespace

int main() {
  test::VirtualX x(2048, 1280);  // room for a 1920 x 1080 view at 100, 100
  if (!x.ok()) {
    std::printf("shell bench skipped: %s\n", x.reason().c_str());
    return 0;
  }
  constexpr int kFrames = 120;
  std::vector<double> sdl_default, sdl_software, copies, fps, first, headless;
  for (int run = 0; run < kRuns; ++run) {  // interleaved, so load weighs on both sides alike
    sdl_default.push_back(PresentsPerSecond(x, nullptr, kFrames));
    sdl_software.push_back(PresentsPerSecond(x, "software", kFrames));
    copies.push_back(CopiesPerSecond(kFrames));
    fps.push_back(ProgramFps(x));
    first.push_back(SecondsToFirstFrame(x));
    headless.push_back(SecondsHeadless());
  }
  auto [idle_ours, idle_server] = IdleCpu(x, 10);

  double copy = Median(copies);
  std::printf("| measure | figure | anchor | ratio |\n|---|---|---|---|\n");
  std::printf("| present 1920x1080, SDL default renderer | %.0f /s | memcpy %.0f /s | %.3f |\n",
              Median(sdl_default), copy, Median(sdl_default) / copy);
  std::printf("| present 1920x1080, SDL software renderer | %.0f /s | memcpy %.0f /s | %.3f |\n",
              Median(sdl_software), copy, Median(sdl_software) / copy);
  std::printf(
      "| program repainting 1920x1080 every tick | %.1f fps | host tick cap 200 fps | %.2f |\n",
      Median(fps), Median(fps) / 200);
  std::printf(
      "| idle program, CPU over 10 s | %.2f %% of a core | target 2 %% (X server: %.2f %%) | "
      "%.2f |\n",
      idle_ours, idle_server, idle_ours / 2);
  std::printf("| start-up to first frame | %.0f ms | headless run to its end %.0f ms | %.2f |\n",
              Median(first) * 1000, Median(headless) * 1000, Median(first) / Median(headless));
  return 0;
}
