#include "services/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace orva::services {
namespace {

std::string Encode(std::string_view bytes) {
  std::string out;
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  for (size_t i = 0; i < bytes.size(); i += 3) {
    char group[4];
    size_t n = EncodeBase64Group(p + i, std::min<size_t>(3, bytes.size() - i), group);
    out.append(group, n);
  }
  return out;
}

TEST(Base64, GroupsOfOneTwoAndThreeBytes) {
  EXPECT_EQ(Encode("M"), "TQ");
  EXPECT_EQ(Encode("Ma"), "TWE");
  EXPECT_EQ(Encode("Man"), "TWFu");
  EXPECT_EQ(Encode("\xff\xfe\xfd"), "//79");
  EXPECT_EQ(Encode(std::string("\0\0\0\xfb\xef", 5)), "AAAA++8");
  EXPECT_EQ(Encode("any carnal pleasure."), "YW55IGNhcm5hbCBwbGVhc3VyZS4");
}

}  // namespace
}  // namespace orva::services
