#include "host/host.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless/headless_platform.h"

namespace orva {
namespace {

TEST(ShowMessageBox, ConvertsMacRomanAndCutsAt1023Bytes) {
  platform::HeadlessPlatform p(nullptr);
  Host host(p);
  ShowMessageBox(host, "caf\x8e");  // 0x8E is e-acute in Mac OS Roman
  ASSERT_EQ(p.alerts().size(), 1u);
  EXPECT_EQ(p.alerts()[0], "caf\xc3\xa9");

  ShowMessageBox(host, std::string(2000, 'x'));
  EXPECT_EQ(p.alerts()[1].size(), 1023u);

  ShowMessageBox(host, std::string_view("ab\0cd", 5));
  EXPECT_EQ(p.alerts()[2], "ab");
}

TEST(Fatal, EndsThroughThePlatformWithStatus1) {
  platform::HeadlessPlatform p(nullptr);
  Host host(p);
  try {
    Fatal(host, "Terminating: insufficient Heap space. So sorry.");
    FAIL() << "Fatal returned";
  } catch (const platform::ProcessExit& e) {
    EXPECT_EQ(e.status, 1);
  }
  EXPECT_EQ(p.alerts().back(), "Terminating: insufficient Heap space. So sorry.");
}

}  // namespace
}  // namespace orva
