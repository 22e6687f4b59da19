// A profile save killed at any moment leaves the old file or the new one on disk, never a mix.
// A child process saves two different profiles in turn, as fast as it can, and is killed with
// SIGKILL after a random delay; the file must then hold one of the two, byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "service_fixture.h"
#include "services/profile_text.h"

namespace orva::services {
namespace {

// A profile of `sections` sections, each with a few keys whose values carry `mark`.
Profile MakeProfile(int sections, char mark) {
  Profile p;
  for (int s = 0; s < sections; ++s) {
    p.AddSection("Section" + std::to_string(s));
    for (int k = 0; k < 20; ++k)
      p.Set("key" + std::to_string(k), std::string(40 + k, mark) + std::to_string(s));
  }
  return p;
}

class ProfileCrash : public test::ServiceTest {
 protected:
  static constexpr uint32_t kName = 0x1000;
  void Save(const Profile& p) {
    host.services.profile = p;
    Call(ProfileService, 1, {kName});
  }
};

TEST_F(ProfileCrash, AKilledSaveLeavesTheOldFileOrTheNew) {
  Put(kName, "settings.ini");
  const Profile a = MakeProfile(60, 'a'), b = MakeProfile(90, 'b');
  const std::string a_bytes = a.FileBytes(), b_bytes = b.FileBytes();
  ASSERT_GT(a_bytes.size(), 50000u);
  ASSERT_NE(a_bytes.size(), b_bytes.size());

  // Kill delays spread over a few saves' time, so kills land in every phase of a save. The file
  // holds b before each child's first save, a after it.
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 4; ++i) Save(i % 2 ? b : a);
  auto per_save = (std::chrono::steady_clock::now() - start) / 4;
  const auto longest =
      std::min<std::chrono::nanoseconds>(3 * per_save, std::chrono::milliseconds(30));

  std::mt19937_64 rng(16);
  int saw_a = 0, saw_b = 0;
  for (int round = 0; round < 40; ++round) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) Save(i % 2 ? b : a);  // ends only by the kill
    }
    std::this_thread::sleep_for(std::chrono::nanoseconds(rng() % (longest.count() + 1)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::string on_disk = test::ReadText(Data("settings.ini"));
    ASSERT_TRUE(on_disk == a_bytes || on_disk == b_bytes)
        << "round " << round << ": a torn file of " << on_disk.size() << " bytes";
    (on_disk == a_bytes ? saw_a : saw_b)++;
  }
  // Some kills came after a finished save, some before: the loop did test both sides.
  EXPECT_GT(saw_a, 0);
  EXPECT_GT(saw_b, 0);
}

}  // namespace
}  // namespace orva::services
