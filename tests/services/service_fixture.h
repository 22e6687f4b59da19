// A Host over a plain image buffer, for calling service handlers in-process: strings and call
// blocks are placed at chosen addresses, R14 starts with a marker so that "unchanged" is visible.
// The user data folder ("data/") and the resource folder ("res/") live in a temp folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"
#include "platform/headless/headless_platform.h"
#include "services/syscall.h"
#include "support/temp_dir.h"

namespace orva::testing_support {

using services::ServiceFault;
using services::SysCall;

using Handler = void (*)(Host&, SysCall&, uint32_t);

class ServiceTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kImageSize = 0x10000;
  static constexpr uint32_t kBlock = 0x200;  // the call block: service word, then arguments
  static constexpr uint64_t kMarker = 0x1122334455667788;

  ServiceTest() : image_(kImageSize, 0) {
    host.mem.base = image_.data();
    host.mem.size = kImageSize;
    host.mem.SetR(14, kMarker);
    host.folders.user_data = dir.Sub("data") + "/";
    host.folders.resource = dir.Sub("res") + "/";
  }

  std::string DataPath(const std::string& name) const { return host.folders.user_data + name; }
  std::string ResPath(const std::string& name) const { return host.folders.resource + name; }
  // Writes a whole file, creating the folders on its path.
  static void PutFile(const std::string& path, std::string_view text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    test::WriteText(path, text);
  }

  // Stores `s` with its NUL at addr; returns addr.
  uint32_t Put(uint32_t addr, std::string_view s) {
    std::memcpy(image_.data() + addr, s.data(), s.size());
    image_[addr + s.size()] = 0;
    return addr;
  }
  std::string Get(uint32_t addr) const { return reinterpret_cast<const char*>(&image_[addr]); }
  std::string Bytes(uint32_t addr, size_t n) const {
    return std::string(reinterpret_cast<const char*>(&image_[addr]), n);
  }
  uint32_t Word(uint32_t addr) const { return host.mem.U32At(addr); }
  uint8_t* At(uint32_t addr) { return image_.data() + addr; }

  // Runs `command` of `handler` with the arguments in a call block; returns the fault's address
  // when the call faulted.
  std::optional<uint32_t> Call(Handler handler, uint32_t command,
                               std::initializer_list<uint32_t> args) {
    uint32_t a = kBlock + 4;
    for (uint32_t v : args) host.mem.SetU32At(a, v), a += 4;
    SysCall call(host, kBlock + 4);
    try {
      handler(host, call, command);
    } catch (const ServiceFault& f) {
      return f.address;
    }
    return std::nullopt;
  }

  uint32_t R14() const { return host.mem.R32(14); }
  uint64_t R14Full() const { return host.mem.R(14); }
  bool R14Unchanged() const { return host.mem.R(14) == kMarker; }

  test::TempDir dir;
  platform::HeadlessPlatform platform{nullptr};
  Host host{platform};

 private:
  std::vector<uint8_t> image_;
};

}  // namespace orva::testing_support
