#include "core/host.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless/headless_platform.h"

namespace orva {
namespace {

TEST(ShowMessageBox, ConvertsMacRomanAndCutsAt1023BytesOrTheNul) {
  platform::HeadlessPlatform p(nullptr);
  Host host(p);
  ShowMessageBox(host, "caf\x8e");  // 0x8E is e-acute in Mac OS Roman
  ShowMessageBox(host, std::string(2000, 'x'));
  ShowMessageBox(host, std::string_view("ab\0cd", 5));
  EXPECT_EQ(p.shown_alerts(),
            (std::vector<std::string>{"caf\xc3\xa9", std::string(1023, 'x'), "ab"}));
}

}  // namespace
}  // namespace orva
