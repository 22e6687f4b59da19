#include <gtest/gtest.h>

#include "service_fixture.h"

namespace orva::services {
namespace {

class ProfileServices : public testing_support::ServiceTest {
 protected:
  static constexpr uint32_t kName = 0x1000, kKey = 0x1100, kValue = 0x1200, kOut = 0x2000,
                            kNumber = 0x3000;

  ProfileServices() {}

  std::optional<uint32_t> Profile(uint32_t command, std::initializer_list<uint32_t> args) {
    host.mem.SetR(14, kMarker);
    return Call(ProfileService, command, args);
  }
};

TEST_F(ProfileServices, LoadsFromResourcesAndSavesToUserData) {
  PutFile(ResPath("GAME.INI"), "[0x12345678=Options]\nVolume= 7\n");
  Put(kName, "GAME.INI");
  Profile(0, {kName});
  EXPECT_EQ(R14(), 1u);
  Put(kKey, "Volume");
  Profile(4, {kKey});
  EXPECT_EQ(R14(), 1u);
  Profile(5, {kNumber});
  EXPECT_EQ(R14(), 1u);
  EXPECT_EQ(Word(kNumber), 7u);
  Put(kValue, "8");
  Profile(8, {kKey, kValue});
  Profile(1, {kName});
  EXPECT_EQ(R14(), 1u);
  // The checksum of "[", ten zero bytes, "=Options]\nVolume=8\n".
  EXPECT_EQ(test::ReadText(DataPath("GAME.INI")), "[0xADBCDAA2=Options]\nVolume=8\n");
  EXPECT_EQ(test::ReadText(ResPath("GAME.INI")), "[0x12345678=Options]\nVolume= 7\n");

  Profile(0, {kName});  // the user's copy now comes first
  Profile(4, {kKey});
  Profile(5, {kNumber});
  EXPECT_EQ(Word(kNumber), 8u);
}

TEST_F(ProfileServices, ShortOrMissingFilesGiveAnEmptyProfile) {
  PutFile(DataPath("SHORT.INI"), "[0x1234=A");  // 9 bytes
  Put(kName, "SHORT.INI");
  Profile(0, {kName});
  EXPECT_EQ(R14(), 0u);
  Profile(1, {kName});
  EXPECT_EQ(R14(), 1u);
  EXPECT_EQ(test::ReadText(DataPath("SHORT.INI")), "");

  Put(kName, "NONE.INI");
  Profile(0, {kName});
  EXPECT_EQ(R14(), 0u);
  Put(kName, "S");
  Profile(7, {kName});
  EXPECT_EQ(R14(), 1u);
}

TEST_F(ProfileServices, WithoutAProfileCommandsAnswerAndEmptyDestinations) {
  Put(kName, "x");
  for (uint32_t command : {1u, 3u, 4u, 7u, 8u, 10u, 14u, 15u}) {
    Profile(command, {kName, kName, 0});
    EXPECT_EQ(R14(), 0u) << command;
  }
  for (uint32_t command : {6u, 11u, 16u}) {
    Put(kOut, "old");
    Profile(command, {kOut, 10});
    EXPECT_EQ(R14(), 0u) << command;
    EXPECT_EQ(Get(kOut), "") << command;
  }
  At(kNumber)[0] = 0x55;
  Profile(5, {kNumber});
  EXPECT_EQ(R14(), 0u);
  EXPECT_EQ(At(kNumber)[0], 0x55);
  Profile(13, {});
  EXPECT_EQ(R14(), 1u);
  for (uint32_t command : {2u, 9u, 12u}) {
    Profile(command, {});
    EXPECT_TRUE(R14Unchanged()) << command;
  }
  EXPECT_TRUE(platform.alerts().empty());
}

TEST_F(ProfileServices, DestinationsAreWrittenOnlyAsFarAsTheText) {
  PutFile(DataPath("P.INI"), "[0x00000000=A]\ns= \"abc\"\n[0x00000000=Second]\n");
  Put(kName, "P.INI");
  Profile(0, {kName});
  Put(kKey, "s");
  Profile(4, {kKey});
  // A capacity far beyond the image is fine while the text itself fits.
  uint32_t dest = kImageSize - 4;
  Profile(6, {dest, 0xFFFFFFFF});
  EXPECT_EQ(R14(), 3u);
  EXPECT_EQ(Get(dest), "abc");
  EXPECT_EQ(Profile(11, {dest, 100}), dest);  // "Second" and its NUL do not fit
  Put(kOut, "keep");
  Profile(16, {kOut, 0});  // no room even for the NUL
  EXPECT_EQ(Get(kOut), "keep");
}

TEST_F(ProfileServices, SaveFailuresAnswerZero) {
  Put(kName, "../outside.ini");
  Profile(12, {});
  Profile(1, {kName});
  EXPECT_EQ(R14(), 0u);  // no profile yet
  Put(kName, "missing");
  Profile(0, {kName});
  Put(kName, "../outside.ini");
  Profile(1, {kName});
  EXPECT_EQ(R14(), 0u);  // a name that would leave the folder
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/outside.ini"));
  std::filesystem::create_directories(DataPath("DIR.INI/x"));
  Put(kName, "DIR.INI");
  Profile(1, {kName});
  EXPECT_EQ(R14(), 0u);
}

TEST_F(ProfileServices, UnknownCommandsAlert) {
  Profile(17, {});
  ASSERT_EQ(platform.alerts().size(), 1u);
  EXPECT_TRUE(R14Unchanged());
}

}  // namespace
}  // namespace orva::services
