#include "services/replace_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "support/temp_dir.h"

namespace orva::services {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

// Every entry of the folder, hidden ones included.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReplaceFile, CreatesFoldersAndReplacesKeepingPermissions) {
  TempDir dir;
  std::string path = dir.path() + "/a/b/settings.ini";
  ASSERT_TRUE(ReplaceFile(path, "first"));
  EXPECT_EQ(ReadText(path), "first");

  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(ReplaceFile(path, "second, longer"));
  EXPECT_EQ(ReadText(path), "second, longer");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_TRUE(ReplaceFile(path, ""));
  EXPECT_EQ(ReadText(path), "");
  EXPECT_EQ(Entries(dir.path() + "/a/b"), std::vector<std::string>{"settings.ini"});
}

TEST(ReplaceFile, AFailedWriteLeavesTheOldFileWhole) {
  TempDir dir;
  std::string path = dir.path() + "/settings.ini";
  WriteText(path, "old settings");

  // The disk "fills up" after 16 bytes: the new file cannot be written whole.
  struct rlimit saved;
  ::getrlimit(RLIMIT_FSIZE, &saved);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  ::setrlimit(RLIMIT_FSIZE, &small);
  bool ok = ReplaceFile(path, std::string(100, 'n'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadText(path), "old settings");
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"settings.ini"});  // no leftovers
}

TEST(ReplaceFile, FailsWithoutTouchingWhatItCannotReplace) {
  TempDir dir;
  std::string folder = dir.Sub("folder/inside");
  EXPECT_FALSE(ReplaceFile(dir.path() + "/folder", "x"));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"folder"});

  std::string locked = dir.Sub("locked");
  WriteText(locked + "/s.ini", "kept");
  ::chmod(locked.c_str(), 0500);
  if (::access(locked.c_str(), W_OK) != 0) {  // root may write anyway
    EXPECT_FALSE(ReplaceFile(locked + "/s.ini", "new"));
    EXPECT_EQ(ReadText(locked + "/s.ini"), "kept");
  }
  ::chmod(locked.c_str(), 0700);
}

}  // namespace
}  // namespace orva::services
