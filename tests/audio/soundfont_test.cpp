// Which SoundFont the music uses.
#include "audio/soundfont.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace orva::audio {
namespace {

TEST(SoundFont, TheUsersChoiceThenTheUsualPlacesInOrder) {
  const test::TempDir dir;
  const std::string folder = dir.Sub("fonts") + "/", gm = dir.path() + "/gm.sf2";
  test::WriteText(folder + "b.sf2", "");
  test::WriteText(folder + "a.SF3", "");
  test::WriteText(folder + "notes.txt", "");
  const std::string_view places[] = {"/no/such.sf2", gm, folder};

  EXPECT_EQ(FindSoundFont("opt.sf2", "env.sf2", places).path, "opt.sf2");
  EXPECT_EQ(FindSoundFont("", "env.sf2", places).path, "env.sf2");
  EXPECT_EQ(FindSoundFont("", "", places).path, folder + "a.SF3");  // gm.sf2 is not there yet
  test::WriteText(gm, "");
  EXPECT_EQ(FindSoundFont("", "", places).path, gm);

  const SoundFontChoice none = FindSoundFont("", "", std::span(places, 1));
  EXPECT_TRUE(none.path.empty());
  EXPECT_NE(none.why_none.find("--soundfont"), std::string::npos);
}

}  // namespace
}  // namespace orva::audio
