// Window services called directly, for what a program run shows poorly: buffer edges, refusals,
// the look into the ring, and what the desktop is handed.
#include "host/window_services.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/message_codes.h"
#include "graphics/screen.h"
#include "services/syscall.h"
#include "support/test_host.h"

namespace orva::test {
namespace {

using vm::Message;

// A bare image with the call block at kArgs and room for blocks and buffers below the heap, on
// a desktop of two displays.
struct Window {
  static constexpr uint32_t kArgs = 600, kBlock = 700, kBuffer = 1024;
  Window() {
    host.image_block.Allocate(4096 + 65536);
    host.mem = host.image_block.memory();
    heap::InitHeap(host, 4096, 65536);
    host.folders.user_data = "/data/Quillmoor Software/Game/";
    host.folders.bundle = "/games/Game";
  }
  // Runs `command` with argument `a`; R14 afterwards.
  uint64_t Call(uint32_t command, uint32_t a = 0) {
    host.mem.SetR(14, 0xDEADDEADDEADDEAD);
    host.mem.SetU32At(kArgs, a);
    services::SysCall call(host, kArgs);
    host::WindowService(host, call, command);
    return host.mem.R(14);
  }
  void Words(uint32_t at, std::vector<uint32_t> words) {
    for (uint32_t w : words) host.mem.SetU32At(at, w), at += 4;
  }
  std::vector<uint32_t> Words(uint32_t at, size_t n) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < n; ++i) out.push_back(host.mem.U32At(at + 4 * uint32_t(i)));
    return out;
  }
  std::string Text(uint32_t at) { return std::string(*host.mem.CString(at)); }
  void Put(uint32_t at, std::string_view s) {
    std::memcpy(host.mem.Ptr(at, s.size() + 1), s.data(), s.size());
    host.mem.SetU8At(at + uint32_t(s.size()), 0);
  }
  void Queue(std::vector<Message> messages) {
    for (const Message& m : messages) host.machine.ring.Append(m);
  }

  platform::HeadlessPlatform platform{nullptr, {{1920, 1080}, {1280, 1024}}};
  Host host{platform};
};

TEST(WindowServices, LookAheadIntoTheRing) {
  Window t;
  // A key behind a tick and a move: found, and left pending unless asked to take it.
  t.Queue({{11}, {15, 1, 2, 3}, {12, 0x41, 1, 0}, {14, 0x61}});
  t.Words(Window::kBlock, {0, 9, 9, 9});
  EXPECT_EQ(t.Call(3, Window::kBlock) & 0xFFFFFFFF, 1u);
  EXPECT_EQ(t.Words(Window::kBlock, 4), (std::vector<uint32_t>{12, 0x41, 1, 0}));
  EXPECT_EQ(t.host.machine.ring.pending(), 2);
  t.Words(Window::kBlock, {1});
  EXPECT_EQ(t.Call(3, Window::kBlock) & 0xFFFFFFFF, 1u);
  EXPECT_EQ(t.host.machine.ring.pending(), 1);
  // Any other message in front ends the look: only the code is written.
  t.Words(Window::kBlock, {0, 9, 9, 9});
  EXPECT_EQ(t.Call(3, Window::kBlock) & 0xFFFFFFFF, 0u);
  EXPECT_EQ(t.Words(Window::kBlock, 4), (std::vector<uint32_t>{0, 9, 9, 9}));
  EXPECT_EQ(t.host.machine.ring.pending(), 1);

  // The latest of the moves in front, up to the first other message.
  Window u;
  u.Queue({{15, 1, 1, 0}, {11}, {15, 2, 2, 0}, {12, 1, 1, 0}, {15, 3, 3, 0}});
  EXPECT_EQ(u.Call(4, Window::kBlock) & 0xFFFFFFFF, 1u);
  EXPECT_EQ(u.Words(Window::kBlock, 4), (std::vector<uint32_t>{15, 2, 2, 0}));
  EXPECT_EQ(u.host.machine.ring.pending(), 2);
  EXPECT_EQ(u.Call(4, Window::kBlock) & 0xFFFFFFFF, 0u);

  // A block outside the image discards nothing.
  Window v;
  v.Queue({{11}, {12, 1, 1, 0}});
  EXPECT_THROW(v.Call(4, 0xFFFFFFF8), services::ServiceFault);
  EXPECT_EQ(v.host.machine.ring.pending(), 2);
}

TEST(WindowServices, LineEndAndClipboardKeepToTheirBuffers) {
  Window t;
  t.Put(Window::kBuffer, "xyz");
  t.Words(Window::kBlock, {Window::kBuffer, 2});
  EXPECT_EQ(t.Call(1, Window::kBlock) & 0xFFFFFFFF, 2u);
  EXPECT_EQ(t.platform.shown_alerts().back(), "GetEOL: buffer too small");
  EXPECT_EQ(t.Text(Window::kBuffer), "xyz");
  t.Words(Window::kBlock, {Window::kBuffer, 3});
  EXPECT_EQ(t.Call(1, Window::kBlock) & 0xFFFFFFFF, 2u);
  EXPECT_EQ(t.Text(Window::kBuffer), "\r\n");

  // size: what the buffer receives (at most size - 1 bytes with the NUL, whole characters).
  struct Row {
    int32_t size;
    const char* got;
  };
  const Row rows[] = {
      {16, "h\xC3\xA9llo"}, {8, "h\xC3\xA9llo"}, {7, "h\xC3\xA9ll"}, {4, "h"}, {3, "h"}, {1, ""},
      {0, "untouched"},     {-5, "untouched"}};
  t.Put(Window::kBuffer + 100, "h\xC3\xA9llo");
  t.Call(6, Window::kBuffer + 100);
  for (const Row& r : rows) {
    t.Put(Window::kBuffer, "untouched");
    t.Words(Window::kBlock, {Window::kBuffer, static_cast<uint32_t>(r.size)});
    t.Call(5, Window::kBlock);
    EXPECT_EQ(t.Text(Window::kBuffer), r.got) << r.size;
  }
  // Text that is not UTF-8 is mended before other programs see it.
  t.Put(Window::kBuffer + 100, "a\xFF");
  t.Call(6, Window::kBuffer + 100);
  EXPECT_EQ(t.platform.desktop().ClipboardText(), "a\xEF\xBF\xBD");
}

TEST(WindowServices, SizesTitleFoldersVersionAndTheRest) {
  Window t;
  platform::Size desktop = t.platform.display().DesktopSize();
  graphics::SetupScreen(t.host, desktop.width, desktop.height);
  EXPECT_EQ(t.Call(2), 1080ull << 32 | 3200);
  EXPECT_EQ(t.Call(18), 1080ull << 32 | 3200);
  EXPECT_EQ(t.Call(10), 600ull << 32 | 1100);  // before any resize

  // The title waits for the end of the run; the last one set wins.
  t.Put(Window::kBuffer, "first");
  t.Call(11, Window::kBuffer);
  t.Put(Window::kBuffer, "second");
  t.Call(11, Window::kBuffer);
  EXPECT_EQ(t.platform.title(), "");
  host::ApplyPendingTitle(t.host);
  EXPECT_EQ(t.platform.title(), "second");
  t.Put(Window::kBuffer, std::string(512, 'x'));
  t.Call(11, Window::kBuffer);
  host::ApplyPendingTitle(t.host);
  EXPECT_EQ(t.platform.title(), "Title too long");

  t.Call(12, Window::kBuffer);
  EXPECT_EQ(t.Text(Window::kBuffer), "/data/Quillmoor Software/Game/");
  t.Call(13, Window::kBuffer);
  EXPECT_EQ(t.Text(Window::kBuffer), "/games/Game");

  uint32_t packed = static_cast<uint32_t>(t.Call(14, Window::kBuffer));
  std::string version = t.Text(Window::kBuffer);
  unsigned major = 0, minor = 0, patch = 0;
  char rest = 0;
  EXPECT_EQ(
      std::sscanf(version.c_str(), "ORVA 6.0 - Linux %u.%u.%u%c", &major, &minor, &patch, &rest), 3)
      << version;
  EXPECT_EQ(packed, major << 16 | minor << 24 | 1);

  // The name of the Control key fits where "Cmd" would.
  t.Put(Window::kBuffer, "........");
  t.Call(15, Window::kBuffer);
  EXPECT_EQ(t.Text(Window::kBuffer), "Ctl");

  t.Call(16, 1);
  EXPECT_EQ(t.platform.cursor(), platform::Cursor::kArrow);
  t.Call(16, 0x10002);  // only the low 16 bits count
  EXPECT_EQ(t.platform.cursor(), platform::Cursor::kPointingHand);

  EXPECT_EQ(t.Call(7, 0xFF), 0xDEADDEADDEADDEADull);

  t.host.mem.SetPC(0x1234);
  t.Call(20);
  EXPECT_EQ(t.platform.shown_alerts().back(), "Unknown SYS command at 0x00001234. Ack!");
}

TEST(WindowServices, BeforeTheWindowIsShownGeometryIsOnlyStored) {
  Window t;
  t.Words(Window::kBlock, {7, 7, 7, 7, 7});
  t.Call(8, Window::kBlock);
  EXPECT_EQ(t.Words(Window::kBlock, 5), (std::vector<uint32_t>(5, 7)));
  t.Words(Window::kBlock, {1, 2, 800, 300, 1});
  t.Call(9, Window::kBlock);
  const host::WindowRequest& r = t.host.shell.requested;
  EXPECT_EQ((std::vector<uint32_t>{uint32_t(r.x), uint32_t(r.y), r.width, r.height, r.full_screen}),
            (std::vector<uint32_t>{30, 20, 600, 400, 1}));
  EXPECT_FALSE(t.platform.display().FullScreen());
}

TEST(WindowServices, OnlyWebPagesAndMailAreOpened) {
  struct Row {
    const char* url;
    bool opened;
  };
  const Row rows[] = {
      {"https://example.org/a?b#c", true},
      {"HTTP://example.org", true},
      {"mailto:someone@example.org", true},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
      {"steam://run/1", false},
      {"/usr/bin/xterm", false},
      {"example.org", false},
      {"http:///etc/passwd", false},
      {"http:", false},
      {"https://a.org/ --help", false},
      {"https://a.org/\nsecond", false},
      {"mailto:", false},
  };
  for (const Row& r : rows) {
    Window t;
    t.Put(Window::kBuffer, r.url);
    t.Call(17, Window::kBuffer);
    EXPECT_EQ(t.platform.opened_urls().size(), r.opened ? 1u : 0u) << r.url;
    EXPECT_EQ(t.platform.log_lines().size(), r.opened ? 0u : 1u) << r.url;
    EXPECT_TRUE(t.platform.shown_alerts().empty());
  }
  // The text is Mac OS Roman: 0x8E is e-acute.
  Window t;
  t.Put(Window::kBuffer, "https://caf\x8e.example/");
  t.Call(17, Window::kBuffer);
  EXPECT_EQ(t.platform.opened_urls(), (std::vector<std::string>{"https://caf\xC3\xA9.example/"}));
}

}  // namespace
}  // namespace orva::test
