#include "services/replace_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "support/temp_dir.h"

namespace orva::services {
namespace {

// Every entry of the folder, hidden ones included.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReplaceFile, CreatesFoldersReplacesKeepingPermissionsAndLeavesFoldersAlone) {
  test::TempDir dir;
  std::string path = dir.path() + "/a/b/settings.ini";
  ASSERT_TRUE(ReplaceFile(path, "first"));
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(ReplaceFile(path, "second, longer"));
  EXPECT_EQ(test::ReadText(path), "second, longer");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Entries(dir.path() + "/a/b"), std::vector<std::string>{"settings.ini"});
  EXPECT_FALSE(ReplaceFile(dir.path() + "/a", "a folder in the way"));
  EXPECT_EQ(Entries(dir.path() + "/a"), std::vector<std::string>{"b"});
}

TEST(ReplaceFile, AFailedWriteLeavesTheOldFileWhole) {
  test::TempDir dir;
  std::string path = dir.path() + "/settings.ini";
  test::WriteText(path, "old settings");
  // The disk "fills up" after 16 bytes: the new file cannot be written whole.
  struct rlimit saved, small;
  ::getrlimit(RLIMIT_FSIZE, &saved);
  small = saved;
  small.rlim_cur = 16;
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &small);
  bool ok = ReplaceFile(path, std::string(100, 'n'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(ok);
  EXPECT_EQ(test::ReadText(path), "old settings");
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"settings.ini"});  // no leftovers
}

}  // namespace
}  // namespace orva::services
