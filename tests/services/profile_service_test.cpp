#include <gtest/gtest.h>

#include "service_fixture.h"

namespace orva::services {
namespace {

class ProfileServices : public test::ServiceTest {
 protected:
  static constexpr uint32_t kName = 0x1000, kKey = 0x1100, kOut = 0x2000;
  std::optional<uint32_t> Prof(uint32_t command, std::initializer_list<uint32_t> args) {
    return Call(ProfileService, command, args);
  }
};

TEST_F(ProfileServices, LoadsFromResourcesAndSavesToUserData) {
  PutFile(Res("GAME.INI"), "[0x12345678=Options]\nVolume= 7\n");
  Prof(0, {Put(kName, "GAME.INI")});
  EXPECT_EQ(R14(), 1u);
  Prof(1, {kName});
  EXPECT_EQ(R14(), 1u);
  EXPECT_TRUE(test::ReadText(Data("GAME.INI")).ends_with("=Options]\nVolume= 7\n"));
  EXPECT_EQ(test::ReadText(Res("GAME.INI")), "[0x12345678=Options]\nVolume= 7\n");

  PutFile(Data("SHORT.INI"), "[0x1234=A");  // 9 bytes: an empty profile, saved empty
  Prof(0, {Put(kName, "SHORT.INI")});
  EXPECT_EQ(R14(), 0u);
  Prof(1, {kName});
  EXPECT_EQ(test::ReadText(Data("SHORT.INI")), "");
  for (const char* bad : {"../outside.ini", "SHORT.INI/x"}) {
    Prof(1, {Put(kName, bad)});
    EXPECT_EQ(R14(), 0u) << bad;
  }
}

TEST_F(ProfileServices, WithoutAProfileCommandsOnlyAnswer) {
  Put(kName, "x");
  for (uint32_t command : {1u, 3u, 4u, 5u, 7u, 8u, 10u, 14u, 15u}) {
    Prof(command, {kName, kName, 0});
    EXPECT_EQ(R14(), 0u) << command;
  }
  EXPECT_EQ(Get(kName), "x");  // command 5 stored nothing
  for (uint32_t command : {6u, 11u, 16u}) {
    Prof(command, {Put(kOut, "old"), 10});
    EXPECT_EQ(Get(kOut), "") << command;
  }
  Prof(13, {});
  EXPECT_EQ(R14(), 1u);
  for (uint32_t command : {2u, 9u, 12u, 17u}) {
    Prof(command, {});
    EXPECT_TRUE(R14Unchanged()) << command;
  }
  EXPECT_EQ(platform.shown_alerts().size(), 1u);  // command 17
}

TEST_F(ProfileServices, DestinationsNeedRoomOnlyForWhatIsWritten) {
  PutFile(Data("P.INI"), "[0x00000000=A]\ns= \"abc\"\n[0x00000000=Second]\n");
  Prof(0, {Put(kName, "P.INI")});
  Prof(4, {Put(kKey, "s")});
  Prof(6, {kImageSize - 4, 0xFFFFFFFF});  // a capacity far beyond the image
  EXPECT_EQ(Get(kImageSize - 4), "abc");
  EXPECT_EQ(Prof(11, {kImageSize - 4, 100}), kImageSize - 4);  // "Second" does not fit
  Prof(16, {Put(kOut, "keep"), 0});                            // no room even for the NUL
  EXPECT_EQ(Get(kOut), "keep");
}

}  // namespace
}  // namespace orva::services
