// A Host over a plain image buffer for calling service handlers in-process, with its user data
// ("data/") and resource ("res/") folders in a temp folder. R14 starts with a marker, so that
// "unchanged" shows.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/host.h"
#include "platform/headless/headless_platform.h"
#include "services/syscall.h"
#include "support/temp_dir.h"

namespace orva::test {

class ServiceTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kImageSize = 0x10000, kArgs = 0x204;
  static constexpr uint64_t kMarker = 0x1122334455667788;

  ServiceTest() : image_(kImageSize, 0) {
    host.mem.base = image_.data();
    host.mem.size = kImageSize;
    host.folders.user_data = dir.Sub("data") + "/";
    host.folders.resource = dir.Sub("res") + "/";
  }

  // Runs a command with its arguments in the call block; the fault's address if it faulted.
  std::optional<uint32_t> Call(void (*handler)(Host&, services::SysCall&, uint32_t),
                               uint32_t command, std::initializer_list<uint32_t> args) {
    host.mem.SetR(14, kMarker);
    uint32_t at = kArgs;
    for (uint32_t v : args) host.mem.SetU32At(std::exchange(at, at + 4), v);
    services::SysCall call(host, kArgs);
    try {
      handler(host, call, command);
    } catch (const services::ServiceFault& f) {
      return f.address;
    }
    return std::nullopt;
  }

  uint32_t Put(uint32_t addr, std::string_view s) {  // with its NUL
    std::memcpy(At(addr), s.data(), s.size());
    image_[addr + s.size()] = 0;
    return addr;
  }
  std::string Get(uint32_t addr) const { return reinterpret_cast<const char*>(&image_[addr]); }
  std::string Bytes(uint32_t addr, size_t n) const { return {(const char*)&image_[addr], n}; }
  uint8_t* At(uint32_t addr) { return image_.data() + addr; }
  uint32_t R14() const { return host.mem.R32(14); }
  bool R14Unchanged() const { return host.mem.R(14) == kMarker; }

  std::string Data(const std::string& name) const { return host.folders.user_data + name; }
  std::string Res(const std::string& name) const { return host.folders.resource + name; }
  static void PutFile(const std::string& path, std::string_view text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteText(path, text);
  }

  TempDir dir;
  platform::HeadlessPlatform platform{nullptr};
  Host host{platform};

 private:
  std::vector<uint8_t> image_;
};

}  // namespace orva::test
