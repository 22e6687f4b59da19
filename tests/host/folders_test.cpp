#include "host/folders.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include "support/temp_dir.h"

namespace orva::host {
namespace {

// GAME/Contents/{Info.plist, Resources/}, the plist holding `name` (if any) as HOLGameName.
std::string MakeBundle(const test::TempDir& dir, const std::string& folder, const char* name,
                       bool binary) {
  dir.Sub(folder + "/Contents/Resources");
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "CFBundleName", plist_new_string("other"));
  if (name) plist_dict_set_item(root, "HOLGameName", plist_new_string(name));
  char* bytes = nullptr;
  uint32_t length = 0;
  (binary ? plist_to_bin : plist_to_xml)(root, &bytes, &length);
  test::WriteText(dir.path() + "/" + folder + "/Contents/Info.plist", {bytes, length});
  std::free(bytes);
  plist_free(root);
  return dir.path() + "/" + folder;
}

Options Game(std::string game, std::string game_name = "", std::string data_dir = "") {
  Options o;
  o.game = std::move(game);
  o.game_name = std::move(game_name);
  o.data_dir = std::move(data_dir);
  return o;
}

Folders Resolve(const Options& o, const std::string& exe_dir = "/nonexistent") {
  auto result = ResolveFolders(o, exe_dir);
  if (auto* error = std::get_if<std::string>(&result)) {
    ADD_FAILURE() << *error;
    return {};
  }
  return std::get<Folders>(result);
}

TEST(Folders, GameFolder) {
  test::TempDir dir;
  std::string game = dir.Sub("My Game");
  Folders f = Resolve(Game(game + "/", "", dir.path() + "/data"));
  EXPECT_EQ(f.resource, game + "/");
  EXPECT_EQ(f.game_name, "My Game");
  EXPECT_EQ(f.user_data, dir.path() + "/data/");
  EXPECT_EQ(Resolve(Game(game, "Named")).game_name, "Named");
}

TEST(Folders, BundleNameFromXmlOrBinaryInfoPlistWins) {
  test::TempDir dir;
  for (bool binary : {false, true}) {
    std::string game = MakeBundle(dir, binary ? "b.app" : "x.app", "Quest \xc3\xa9", binary);
    Folders f = Resolve(Game(game, "Ignored"));
    EXPECT_EQ(f.resource, game + "/Contents/Resources/");
    EXPECT_EQ(f.game_name, "Quest \xc3\xa9") << binary;
  }
}

TEST(Folders, MissingOrUnusableNamesFallBack) {
  test::TempDir dir;
  std::string nameless = MakeBundle(dir, "nameless.app", nullptr, false);
  EXPECT_EQ(Resolve(Game(nameless)).game_name, "nameless.app");
  EXPECT_EQ(Resolve(Game(nameless, "Given")).game_name, "Given");
  // A name that would climb out of the data folder is never a folder name.
  EXPECT_EQ(Resolve(Game(MakeBundle(dir, "s.app", "../../x", true))).game_name, "s.app");
  EXPECT_TRUE(std::holds_alternative<std::string>(ResolveFolders(Game(nameless, "a/b"), "")));
  test::WriteText(dir.path() + "/junk.plist", std::string("\0\1junk", 6));
  EXPECT_FALSE(ReadGameName(dir.path() + "/junk.plist"));
  EXPECT_TRUE(std::holds_alternative<std::string>(ResolveFolders(Game(dir.path() + "/no"), "")));
}

TEST(Folders, DefaultProgramAndDataFolder) {
  test::TempDir dir;
  const std::string name(DefaultProgramName());
  // Installed: PREFIX/bin/orva and PREFIX/share/orva/NAME; a build tree's examples/NAME wins.
  std::string installed = dir.Sub("usr/share/orva/" + name);
  dir.Sub("usr/bin");
  const char* old = std::getenv("XDG_DATA_HOME");
  std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", (dir.path() + "/xdg").c_str(), 1);
  Folders from_prefix = Resolve({}, dir.path() + "/usr/bin");
  std::string built = dir.Sub("usr/bin/examples/" + name);
  Folders from_build = Resolve({}, dir.path() + "/usr/bin");
  old ? setenv("XDG_DATA_HOME", saved.c_str(), 1) : unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(from_prefix.resource, installed + "/");
  EXPECT_EQ(from_build.resource, built + "/");
  EXPECT_EQ(from_build.user_data, dir.path() + "/xdg/Quillmoor Software/" + name + "/");
  EXPECT_TRUE(std::holds_alternative<std::string>(ResolveFolders({}, dir.path())));
}

}  // namespace
}  // namespace orva::host
