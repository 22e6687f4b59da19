#include <gtest/gtest.h>
#include <utime.h>

#include <filesystem>

#include "service_fixture.h"
#include "services/file_layer.h"

namespace orva::services {
namespace {

class FileServices : public testing_support::ServiceTest {
 protected:
  static constexpr uint32_t kName = 0x1000, kOut = 0x2000, kKind = 0x3000, kOrigin = 0x3004,
                            kBuf = 0x4000;

  FileServices() {}

  std::optional<uint32_t> File(uint32_t command, std::initializer_list<uint32_t> args) {
    return Call(FileService, command, args);
  }

  // Every entry of a listing, as "name kind origin".
  std::vector<std::string> FindAll(std::string_view pattern) {
    std::vector<std::string> found;
    Put(kName, pattern);
    File(11, {kName, kOut, kKind, kOrigin});
    while (R14() == 0) {
      found.push_back(Get(kOut) + " " + std::to_string(Word(kKind)) + " " +
                      std::to_string(Word(kOrigin)));
      File(12, {kOut, kKind, kOrigin});
    }
    return found;
  }
};

TEST_F(FileServices, UserFilesHideResourcesOfTheSameNameInAnyCase) {
  PutFile(DataPath("GAME1.sav"), "u");
  PutFile(ResPath("GAME1.SAV"), "r");
  PutFile(ResPath("GAME2.SAV"), "r");
  PutFile(ResPath("NOTES.TXT"), "r");
  EXPECT_EQ(FindAll("*.SAV"), (std::vector<std::string>{"GAME1.sav 0 1", "GAME2.SAV 0 0"}));
}

TEST_F(FileServices, ListingsAreSortedAndSkipHiddenEntries) {
  PutFile(ResPath("b.dat"), "");
  PutFile(ResPath("README"), "");
  PutFile(ResPath(".hidden.dat"), "");
  PutFile(ResPath("a.dat"), "");
  std::filesystem::create_directories(ResPath("SAVES/deeper"));
  PutFile(ResPath("SAVES/deeper/x.dat"), "");
  EXPECT_EQ(FindAll("*"),
            (std::vector<std::string>{"README 0 0", "SAVES 16 0", "a.dat 0 0", "b.dat 0 0"}));
  EXPECT_EQ(FindAll("*.*"), (std::vector<std::string>{"a.dat 0 0", "b.dat 0 0"}));
  EXPECT_EQ(FindAll("?.DAT"), (std::vector<std::string>{"a.dat 0 0", "b.dat 0 0"}));
  EXPECT_TRUE(FindAll("*.none").empty());
  EXPECT_EQ(R14(), 0xFFFFFFFFu);
}

TEST_F(FileServices, APatternWithAFolderListsThatFolderInBoth) {
  PutFile(DataPath("SAVES/SLOT2.SAV"), "");
  PutFile(ResPath("SAVES/SLOT1.SAV"), "");
  PutFile(ResPath("SLOT0.SAV"), "");
  EXPECT_EQ(FindAll("SAVES/*.SAV"), (std::vector<std::string>{"SLOT2.SAV 0 1", "SLOT1.SAV 0 0"}));
  EXPECT_TRUE(FindAll("MISSING/*").empty());
}

TEST_F(FileServices, FindNextAfterTheEndOrAfterCloseFindsNothing) {
  PutFile(ResPath("ONE"), "");
  Put(kName, "*");
  At(kKind)[0] = 0x77;
  File(11, {kName, kOut, 0, 0});  // no kind or origin wanted
  EXPECT_EQ(R14(), 0u);
  EXPECT_EQ(Get(kOut), "ONE");
  EXPECT_EQ(At(kKind)[0], 0x77);
  File(12, {kOut, 0, 0});
  EXPECT_EQ(R14(), 0xFFFFFFFFu);
  File(11, {kName, kOut, 0, 0});
  File(13, {});
  File(12, {kOut, 0, 0});
  EXPECT_EQ(R14(), 0xFFFFFFFFu);
}

TEST_F(FileServices, Base64PadsEachGroupToFourCharacters) {
  std::memcpy(At(kBuf), "Man", 3);
  auto write = [&](uint32_t count) {
    Put(kName, "b64.txt");
    File(0, {kName, kModeCreate});
    uint32_t handle = R14();
    File(14, {handle, kBuf, count});
    uint32_t written = R14();
    File(8, {handle});
    return std::make_pair(written, test::ReadText(DataPath("b64.txt")));
  };
  EXPECT_EQ(write(1), std::make_pair(4u, std::string("TQ==")));
  EXPECT_EQ(write(2), std::make_pair(4u, std::string("TWE=")));
  EXPECT_EQ(write(3), std::make_pair(4u, std::string("TWFu")));
  EXPECT_EQ(write(0), std::make_pair(0u, std::string()));
  EXPECT_EQ(write(0xFFFFFFFF), std::make_pair(0u, std::string()));
  File(14, {0xFFFFFFFF, kBuf, 3});  // no such file
  EXPECT_EQ(R14(), 0u);
}

TEST_F(FileServices, ModificationTimeFillsAllOfR14) {
  PutFile(ResPath("DATA.BIN"), "12345");
  struct utimbuf when {
    1700000000, 1700000000
  };
  ASSERT_EQ(::utime(ResPath("DATA.BIN").c_str(), &when), 0);
  Put(kName, "DATA.BIN");
  File(10, {kName});
  EXPECT_EQ(R14Full(), 1700000000u);
  File(9, {kName});
  EXPECT_EQ(R14(), 5u);
  Put(kName, "MISSING.BIN");
  File(10, {kName});
  EXPECT_EQ(R14Full(), 0u);
  File(9, {kName});
  EXPECT_EQ(R14(), 0xFFFFFFFFu);
}

TEST_F(FileServices, ReadAndWriteMoveImageBytes) {
  Put(kName, "SAVES/slot.dat");
  File(0, {kName, kModeCreate});
  uint32_t handle = R14();
  ASSERT_NE(handle, kNoFile);
  std::memcpy(At(kBuf), "payload", 7);
  File(3, {handle, kBuf, 7});
  EXPECT_EQ(R14(), 7u);
  File(4, {handle, 0, 0});
  File(2, {handle, kOut, 100});
  EXPECT_EQ(R14(), 7u);
  EXPECT_EQ(Bytes(kOut, 7), "payload");
  File(1, {handle});
  EXPECT_EQ(R14(), 1u);
  File(8, {handle});
  EXPECT_EQ(test::ReadText(DataPath("SAVES/slot.dat")), "payload");
}

TEST_F(FileServices, BuffersAndNamesOutsideTheImageFaultBeforeAnyFileWork) {
  Put(kName, "out.dat");
  File(0, {kName, kModeCreate});
  uint32_t handle = R14();
  EXPECT_EQ(File(3, {handle, kImageSize - 4, 8}), kImageSize - 4);
  EXPECT_EQ(File(2, {handle, kImageSize - 4, 0xFFFFFFFF}), kImageSize - 4);
  EXPECT_EQ(File(14, {handle, kImageSize - 2, 3}), kImageSize - 2);
  File(8, {handle});
  EXPECT_EQ(test::ReadText(DataPath("out.dat")), "");
  std::memset(At(kImageSize - 4), 'x', 4);
  EXPECT_EQ(File(0, {kImageSize - 4, kModeCreate}), kImageSize - 4);
  EXPECT_EQ(File(5, {0xFFFFFF00}), 0xFFFFFF00u);
}

TEST_F(FileServices, UnknownCommandsAlert) {
  File(16, {});
  ASSERT_EQ(platform.alerts().size(), 1u);
  EXPECT_TRUE(R14Unchanged());
}

}  // namespace
}  // namespace orva::services
