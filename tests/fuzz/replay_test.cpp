// Every fuzz target, run over its hand-made seeds (fuzz/corpus/NAME) and over every input that
// once broke it (fuzz/regressions/NAME): a fault that comes back fails here, in the ordinary
// build and under the sanitizers, without a fuzzing run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "harness.h"

namespace orva::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> TargetNames() {
  std::vector<std::string> names;
  for (const Target& t : Targets()) names.push_back(t.name);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<fs::path> Inputs(const std::string& target) {
  std::vector<fs::path> files;
  for (const char* kind : {"corpus", "regressions"}) {
    fs::path dir = fs::path(ORVA_SOURCE_DIR) / "fuzz" / kind / target;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
      if (it->is_regular_file()) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class FuzzReplay : public ::testing::TestWithParam<std::string> {};

TEST_P(FuzzReplay, SeedsAndRegressionInputs) {
  const std::string& name = GetParam();
  auto target = std::find_if(Targets().begin(), Targets().end(),
                             [&](const Target& t) { return t.name == name; });
  ASSERT_NE(target, Targets().end());
  std::vector<fs::path> inputs = Inputs(name);
  EXPECT_FALSE(inputs.empty()) << "no seeds in fuzz/corpus/" << name;
  for (const fs::path& path : inputs) {
    // A broken check aborts the whole program: name the input first.
    std::fprintf(stderr, "replaying %s\n", path.c_str());
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    target->entry(bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(TargetNames()),
                         [](const auto& param_info) { return param_info.param; });

}  // namespace
}  // namespace orva::fuzz
