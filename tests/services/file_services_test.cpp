#include <gtest/gtest.h>
#include <utime.h>

#include "core/file_layer.h"
#include "service_fixture.h"

namespace orva::services {
namespace {

using Entries = std::vector<std::string>;

class FileServices : public test::ServiceTest {
 protected:
  static constexpr uint32_t kName = 0x1000, kOut = 0x2000, kKind = 0x3000, kOrigin = 0x3004,
                            kBuf = 0x4000;
  std::optional<uint32_t> File(uint32_t command, std::initializer_list<uint32_t> args) {
    return Call(FileService, command, args);
  }
  // Every entry of a listing, as "name kind origin".
  Entries FindAll(std::string_view pattern) {
    Entries found;
    for (File(11, {Put(kName, pattern), kOut, kKind, kOrigin}); R14() == 0;
         File(12, {kOut, kKind, kOrigin}))
      found.push_back(Get(kOut) + " " + std::to_string(host.mem.U32At(kKind)) + " " +
                      std::to_string(host.mem.U32At(kOrigin)));
    return found;
  }
};

TEST_F(FileServices, FinderListsUserDataFirstSortedAndHidesByName) {
  for (const char* name : {"GAME1.SAV", "GAME2.SAV", "b.txt", ".hidden.SAV", "SAVES/deeper/A.SAV"})
    PutFile(Res(name), "");
  PutFile(Data("GAME1.sav"), "");
  PutFile(Data("SAVES/B.SAV"), "");
  EXPECT_EQ(FindAll("*.SAV"), (Entries{"GAME1.sav 0 1", "GAME2.SAV 0 0"}));
  EXPECT_EQ(FindAll("*"), (Entries{"GAME1.sav 0 1", "SAVES 16 1", "GAME2.SAV 0 0", "b.txt 0 0"}));
  EXPECT_EQ(FindAll("../MUSIC/*"), Entries{});
  File(12, {kOut, 0, 0});  // after the end, and after find close
  EXPECT_EQ(R14(), 0xFFFFFFFFu);
  File(11, {Put(kName, "*"), kOut, 0, 0});
  File(13, {});
  File(12, {kOut, 0, 0});
  EXPECT_EQ(R14(), 0xFFFFFFFFu);
}

TEST_F(FileServices, Base64PadsTheLastGroupToFourCharacters) {
  std::memcpy(At(kBuf), "Man\xff\xfe\xfd", 6);
  auto write = [&](uint32_t count) {
    File(0, {Put(kName, "b64.txt"), kModeCreate});
    uint32_t handle = R14();
    File(14, {handle, kBuf, count});
    uint32_t written = R14();
    File(8, {handle});
    return std::to_string(written) + " " + test::ReadText(Data("b64.txt"));
  };
  EXPECT_EQ(write(1), "4 TQ==");
  EXPECT_EQ(write(2), "4 TWE=");
  EXPECT_EQ(write(0xFFFFFFFF), "0 ");
}

TEST_F(FileServices, FilesThroughImageBuffers) {
  PutFile(Res("DATA.BIN"), "12345");
  struct utimbuf when {
    1700000000, 1700000000
  };
  ASSERT_EQ(::utime(Res("DATA.BIN").c_str(), &when), 0);
  File(10, {Put(kName, "DATA.BIN")});
  EXPECT_EQ(host.mem.R(14), 1700000000u);  // all 64 bits
  File(9, {kName});
  EXPECT_EQ(R14(), 5u);
  File(10, {Put(kName, "MISSING.BIN")});
  EXPECT_EQ(host.mem.R(14), 0u);

  File(0, {Put(kName, "SAVES/slot.dat"), kModeCreate});
  uint32_t handle = R14();
  File(3, {handle, Put(kBuf, "payload"), 7});
  File(4, {handle, 0, 0});
  File(2, {handle, kOut, 100});
  EXPECT_EQ(Get(kOut), "payload");
  // Ranges and names that leave the image fault before the file is touched.
  EXPECT_EQ(File(3, {handle, kImageSize - 4, 8}), kImageSize - 4);
  EXPECT_EQ(File(14, {handle, kImageSize - 2, 3}), kImageSize - 2);
  EXPECT_EQ(File(5, {0xFFFFFF00}), 0xFFFFFF00u);
  File(8, {handle});
  EXPECT_EQ(test::ReadText(Data("SAVES/slot.dat")), "payload");
  File(16, {});
  EXPECT_EQ(platform.shown_alerts().size(), 1u);
}

}  // namespace
}  // namespace orva::services
