#include "core/file_layer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/file_stream.h"
#include "support/fuzz.h"
#include "support/test_host.h"

namespace orva::services {
namespace {

namespace fs = std::filesystem;

struct FileLayer : ::testing::Test {
  uint32_t Open(std::string_view name, uint32_t mode = kModeRead) {
    return OpenFile(t.host, name, mode);
  }
  std::string Read(uint32_t h, uint32_t n = 64) {
    std::string s(n, '\0');
    s.resize(ReadFile(t.host, h, reinterpret_cast<uint8_t*>(s.data()), n));
    return s;
  }
  uint32_t Write(uint32_t h, std::string_view s) {
    return WriteFile(t.host, h, reinterpret_cast<const uint8_t*>(s.data()), uint32_t(s.size()));
  }
  test::TestHost t;
};

TEST_F(FileLayer, ReadingPrefersTheUserDataCopyWritingUsesItOnly) {
  test::WriteText(t.ResPath("SAVE.DAT"), "resource");
  EXPECT_EQ(Read(Open("SAVE.DAT")), "resource");
  EXPECT_EQ(Open("SAVE.DAT", kModeUpdate), kNoFile);
  EXPECT_EQ(Open("SAVE.DAT", 0), kNoFile);
  Write(Open("SAVE.DAT", kModeCreate), "user");
  CloseAllFiles(t.host);
  EXPECT_EQ(Read(Open("SAVE.DAT")), "user");
}

TEST_F(FileLayer, SlotsAreReusedOnlyFromTheTopDown) {
  test::WriteText(t.ResPath("F"), "f");
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(Open("F"), i);
  CloseFile(t.host, 1);
  // The empty slot below the top acts as an invalid handle.
  EXPECT_EQ(Read(1), "");
  EXPECT_EQ(Write(1, "x"), 0u);
  EXPECT_EQ(SeekFile(t.host, 1, 0, 0), kNoFile);
  EXPECT_EQ(FileEof(t.host, 1), kNoFile);
  EXPECT_EQ(Open("F"), 3u);
  CloseFile(t.host, 3);
  CloseFile(t.host, 2);
  EXPECT_EQ(Open("F"), 1u);
}

TEST_F(FileLayer, AFullTableRefusesBeforeTouchingAnything) {
  test::WriteText(t.DataPath("KEEP"), "precious");
  for (uint32_t i = 0; i < kFileSlots; ++i) ASSERT_EQ(Open("KEEP"), i);
  EXPECT_EQ(Open("KEEP", kModeCreate), kNoFile);
  EXPECT_EQ(Open("NEW/FILE", kModeCreate), kNoFile);
  CloseAllFiles(t.host);
  EXPECT_EQ(test::ReadText(t.DataPath("KEEP")), "precious");
  EXPECT_FALSE(fs::exists(t.DataPath("NEW")));
}

TEST_F(FileLayer, EndOfFileIsSetOnlyByAReadThatRanIntoIt) {
  test::WriteText(t.DataPath("EMPTY"), "");
  test::WriteText(t.DataPath("ABC"), "abc");
  EXPECT_EQ(FileEof(t.host, Open("EMPTY")), 0u);
  uint32_t h = Open("ABC");
  EXPECT_EQ(Read(h, 3), "abc");
  EXPECT_EQ(FileEof(t.host, h), 0u);
  EXPECT_EQ(Read(h), "");
  EXPECT_EQ(FileEof(t.host, h), 1u);
  EXPECT_EQ(SeekFile(t.host, h, 1, 0), 1u);  // a seek clears it
  EXPECT_EQ(FileEof(t.host, h), 0u);
  EXPECT_EQ(SeekFile(t.host, h, 0, 3), kNoFile);
}

TEST_F(FileLayer, UpdateStreamsAlternateReadsAndWrites) {
  test::WriteText(t.DataPath("U"), "0123456789");
  uint32_t h = Open("U", kModeUpdate);
  EXPECT_EQ(Read(h, 2), "01");
  Write(h, "ab");
  EXPECT_EQ(Read(h, 2), "45");
  Write(h, "cd");
  CloseFile(t.host, h);
  EXPECT_EQ(test::ReadText(t.DataPath("U")), "01ab45cd89");
}

TEST_F(FileLayer, NamesStayInsideTheirFolder) {
  EXPECT_EQ(RootPath(t.host, "../MUSIC/song.mid", Root::kResource),
            t.host.folders.resource + "MUSIC/song.mid");
  EXPECT_EQ(RootPath(t.host, "a/../b", Root::kUserData), t.DataPath("a/../b"));
  for (std::string_view name : std::initializer_list<std::string_view>{
           "/etc/passwd", "a/../../x", "../music/x.mid", std::string_view("a\0b", 3)})
    EXPECT_FALSE(RootPath(t.host, name, Root::kResource)) << name;
  size_t room = kPathBytes - 1 - t.host.folders.user_data.size();
  EXPECT_TRUE(RootPath(t.host, std::string(room, 'n'), Root::kUserData));
  EXPECT_FALSE(RootPath(t.host, std::string(room + 1, 'n'), Root::kUserData));

  // A refused name is a missing file everywhere.
  test::WriteText(t.dir.path() + "/outside", "secret");
  EXPECT_EQ(Open("../outside"), kNoFile);
  EXPECT_EQ(Open("../outside", kModeCreate), kNoFile);
  EXPECT_EQ(FileInfo(t.host, "../outside", nullptr, nullptr), kNoFile);
  DeleteFile(t.host, "../outside");
  EXPECT_EQ(test::ReadText(t.dir.path() + "/outside"), "secret");

  const char* parts[] = {"..", ".", "", "a", "MUSIC", "../MUSIC", "...", "/"};
  test::FuzzFor(0x524f4f54, [&](std::mt19937_64& rng) {
    std::string name;
    for (int n = int(rng() % 7); n >= 0; --n) name += std::string(parts[rng() % 8]) + "/";
    if (auto path = RootPath(t.host, name, Root::kUserData)) {
      ASSERT_TRUE(fs::path(*path).lexically_normal().string().starts_with(t.DataPath(""))) << name;
    }
  });
}

// Sizes and times reach the program through the file commands; here, folders and moves.
TEST_F(FileLayer, FoldersDeletionAndMoves) {
  uint32_t mtime = 0, kind = 0;
  ASSERT_EQ(MakeDir(t.host, "D"), 0u);
  EXPECT_EQ(MakeDir(t.host, "D"), 0u);
  EXPECT_NE(FileInfo(t.host, "D", &mtime, &kind), kNoFile);
  EXPECT_EQ(kind, 2u);
  EXPECT_EQ(FileInfo(t.host, "NONE", &mtime, &kind), kNoFile);

  test::WriteText(t.DataPath("D/A"), "a");
  test::WriteText(t.DataPath("B"), "b");
  EXPECT_EQ(RemoveDir(t.host, "D"), kNoFile);  // not empty
  MoveFile(t.host, "D/A", "B");                // never replaces
  EXPECT_EQ(test::ReadText(t.DataPath("B")), "b");
  MoveFile(t.host, "D/A", "C");
  EXPECT_EQ(test::ReadText(t.DataPath("C")), "a");
  DeleteFile(t.host, "C");
  EXPECT_EQ(RemoveDir(t.host, "D"), 0u);
  EXPECT_FALSE(fs::exists(t.DataPath("C")) || fs::exists(t.DataPath("D")));
}

// A pipe without a writer would block an ordinary open forever; a device never ends.
TEST_F(FileLayer, PipesAndDevicesFailAtOnceAsMissingFiles) {
  fs::create_directories(t.DataPath(""));
  fs::create_directories(t.ResPath(""));
  ASSERT_EQ(::mkfifo(t.DataPath("PIPE").c_str(), 0666), 0);
  ASSERT_EQ(::mkfifo(t.ResPath("RPIPE").c_str(), 0666), 0);
  fs::create_symlink("/dev/zero", t.DataPath("ZERO"));
  EXPECT_EQ(Open("RPIPE"), kNoFile);
  EXPECT_EQ(FileInfo(t.host, "RPIPE", nullptr, nullptr), kNoFile);
  for (const char* name : {"PIPE", "ZERO"}) {
    SCOPED_TRACE(name);
    for (uint32_t mode : {kModeRead, kModeUpdate, kModeCreate})
      EXPECT_EQ(Open(name, mode), kNoFile) << mode;
    EXPECT_EQ(FileInfo(t.host, name, nullptr, nullptr), kNoFile);
  }
  ASSERT_EQ(::mkfifo(t.DataPath("debug.log").c_str(), 0666), 0);
  AppendDebugLog(t.host, "x");
  EXPECT_TRUE(fs::is_fifo(t.DataPath("PIPE")) && fs::is_fifo(t.DataPath("debug.log")));
}

TEST_F(FileLayer, StreamAdapterCountsWholeElements) {
  EXPECT_EQ(StreamOpen(t.host, "NONE", "rb"), 0u);
  uint32_t s = StreamOpen(t.host, "S", "wb");
  ASSERT_EQ(s, 1u);  // handle 0, plus one
  EXPECT_EQ(StreamWrite(t.host, "abcdefg", 2, 3, s), 3u);
  StreamClose(t.host, s);
  s = StreamOpen(t.host, "S", "w+b");  // update: keeps the contents
  char buf[8];
  EXPECT_EQ(StreamRead(t.host, buf, 4, 2, s), 1u);
  EXPECT_EQ(StreamEof(t.host, s), 1u);
  EXPECT_EQ(StreamTell(t.host, s), 6u);
  EXPECT_EQ(StreamRead(t.host, buf, uint64_t{1} << 32, 2, s), 0u);
}

}  // namespace
}  // namespace orva::services
