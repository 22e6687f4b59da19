#include "vm/loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/fuzz.h"
#include "support/test_host.h"

namespace orva::vm {
namespace {

using test::BuildImage;
using test::ImageFields;
const std::vector<uint8_t> kNoFile;

// Loads `bytes` (no file when empty) as the resource folder's MAIN.QX; the alert, if any.
std::string LoadAlert(test::TestHost& t, const std::vector<uint8_t>& bytes) {
  if (!bytes.empty()) test::WriteBytes(t.ResPath("MAIN.QX"), bytes);
  bool ok = LoadImage(t.host);
  EXPECT_EQ(t.host.files.count, 0u) << "MAIN.QX left open";
  EXPECT_EQ(ok, t.host.mem.loaded());
  EXPECT_EQ(t.alerts().size(), ok ? 0u : 1u);
  return t.alerts().empty() ? "" : t.alerts()[0];
}

TEST(Loader, LaysOutTheImageFromTheHeaderSizes) {
  test::TestHost t;
  std::vector<uint8_t> file = BuildImage({1024, 256, 4096, 65536});
  for (int i = 195; i < 200; ++i) file[i] = 0xAB;
  file.resize(1500, 0xEE);  // bytes past LOADSIZE are ignored
  ASSERT_EQ(LoadAlert(t, file), "");

  const Memory& m = t.host.mem;
  EXPECT_EQ(m.size, 70912u);
  EXPECT_EQ(m.STKLIM(), 1280u);
  EXPECT_EQ(m.STKTOP(), 5376u);
  EXPECT_EQ(m.SP(), 5376u);
  EXPECT_EQ(t.host.heap.start, 5376u);
  for (uint32_t a = 512; a < 1024; ++a) ASSERT_EQ(m.U8At(a), uint8_t(a * 7)) << a;
  for (uint32_t a = 1024; a < m.size; ++a) ASSERT_EQ(m.U8At(a), 0) << a;
  const uint8_t host_info[] = {0x00, 0x06, 0x00, 0x13, 0x00};
  EXPECT_EQ(std::memcmp(m.base + 195, host_info, 5), 0);
  // Handle 0 is the host's 4-byte block at the heap start.
  EXPECT_EQ(heap::GetHeapAdr(t.host, 0), 5376u);
  EXPECT_EQ(t.host.heap.top, 5380u);
}

// Every required version up to 6.0 loads; a bad file gets the alert of its first failed check.
TEST(Loader, ChecksTheFileInOrder) {
  auto edited = [](ImageFields f, auto edit) {
    std::vector<uint8_t> b = BuildImage(f);
    edit(b);
    return b;
  };
  auto as_is = [](auto&) {};
  const char* kRead = "Error reading .QX file";
  const char* kMagic = "Not a ORVA 6 .QX file";
  const char* kVersion = "Mismatched ORVA.EXE and MAIN.QX files";
  const char* kMemory = "Error allocating .QX memory";
  const std::pair<std::vector<uint8_t>, const char*> cases[] = {
      {kNoFile, "MAIN.QX file not found"},
      {edited({}, [](auto& b) { b.resize(511); }), kRead},
      {edited({}, [](auto& b) { b[213] = '!'; }), kMagic},  // "ORVA6" not followed by NUL
      {edited({.major = 9}, [](auto& b) { b[208] = 'X'; }), kMagic},
      {edited({.major = 5, .minor = 9}, as_is), ""},
      {edited({.major = 0, .minor = 255}, as_is), ""},
      {edited({.major = 6, .minor = 1}, as_is), kVersion},
      {edited({.major = 7, .minor = 0}, as_is), kVersion},
      {edited({.load_size = 511}, as_is), kMemory},
      {edited({.zero_size = 0xFFFFFC00, .stack_size = 0x400, .heap_size = 1}, as_is), kMemory},
      {edited({.zero_size = ~0u, .stack_size = ~0u, .heap_size = ~0u}, as_is), kMemory},
      {edited({.load_size = 2048}, [](auto& b) { b.resize(2047); }), kRead},
  };
  for (const auto& [bytes, alert] : cases) {
    test::TestHost t;
    EXPECT_EQ(LoadAlert(t, bytes), alert);
  }
}

// A named pipe would block the open before any alert; it is a missing file, so a pipe in the
// data folder lets the resource folder's copy load.
TEST(Loader, APipeAsMainQxIsAMissingFile) {
  test::TestHost t;
  std::filesystem::create_directories(t.DataPath(""));
  std::filesystem::create_directories(t.ResPath(""));
  ASSERT_EQ(::mkfifo(t.ResPath("MAIN.QX").c_str(), 0666), 0);
  EXPECT_EQ(LoadAlert(t, kNoFile), "MAIN.QX file not found");

  test::TestHost u;
  std::filesystem::create_directories(u.DataPath(""));
  ASSERT_EQ(::mkfifo(u.DataPath("MAIN.QX").c_str(), 0666), 0);
  EXPECT_EQ(LoadAlert(u, BuildImage({})), "");
}

TEST(Loader, AHeapTooSmallForTheHostBlockIsFatal) {
  test::TestHost t;
  test::WriteBytes(t.ResPath("MAIN.QX"), BuildImage({.heap_size = 3}));
  EXPECT_EQ(test::ExitStatusOf([&] { LoadImage(t.host); }), 1);
  EXPECT_EQ(t.alerts().back(), "Terminating: insufficient Heap space. So sorry.");
}

// Random and mutated files never crash the loader: each loads with the layout its header
// describes, or is refused with one alert, leaving no image and no open file.
TEST(Loader, FuzzedFilesLoadConsistentlyOrAreRefusedCleanly) {
  test::FuzzFor(0x5158'4c4f'4144, [](std::mt19937_64& rng) {
    auto pick = [&](uint64_t n) { return static_cast<uint32_t>(rng() % n); };
    auto size = [&] {
      uint32_t kinds[] = {pick(64), pick(1 << 16), ~0u - pick(1 << 12), uint32_t(rng())};
      return kinds[pick(4)];
    };
    std::vector<uint8_t> b =
        BuildImage({512 + pick(1024), size(), size(), size(), uint8_t(pick(8)), uint8_t(pick(3))});
    if (pick(4) == 0) St32(&b[kOffLOADSIZE], size());  // the file itself stays small
    for (uint32_t flips = pick(4); flips > 0; --flips) b[pick(b.size())] ^= 1 << pick(8);
    if (pick(8) == 0) b.resize(pick(b.size() + 1));

    test::TestHost t;
    test::WriteBytes(t.ResPath("MAIN.QX"), b);
    bool loaded = false;
    int status = test::ExitStatusOf([&] { loaded = LoadImage(t.host); });
    ASSERT_EQ(t.host.files.count, 0u);
    ASSERT_EQ(t.alerts().size(), loaded ? 0u : 1u);
    if (loaded) {
      const Memory& m = t.host.mem;
      auto l = ComputeLayout(m.LOADSIZE(), m.ZEROSIZE(), m.STACKSIZE(), m.HEAPSIZE());
      ASSERT_TRUE(l);
      ASSERT_EQ(m.size, l->total);
      ASSERT_EQ(m.SP(), l->stktop);
    } else if (status != 1) {
      ASSERT_FALSE(t.host.mem.loaded());
    }
  });
}

}  // namespace
}  // namespace orva::vm
