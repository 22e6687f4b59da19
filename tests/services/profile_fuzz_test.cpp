#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "services/profile_text.h"
#include "support/fuzz.h"

namespace orva::services {
namespace {

class Generator {
 public:
  explicit Generator(std::mt19937_64& rng) : rng_(rng) {}

  size_t Below(size_t n) { return rng_() % n; }

  std::string Pick(std::initializer_list<const char*> choices) {
    return *(choices.begin() + Below(choices.size()));
  }

  // Text that looks like a profile often enough to reach deep, with the usual damage.
  std::string ProfileText() {
    if (Below(8) == 0) return Bytes(Below(64));
    std::string t;
    for (size_t n = Below(12); n > 0; --n) {
      switch (Below(9)) {
        case 0: t += "[0x" + Bytes(8) + "=" + Word() + "]\n"; break;
        case 1: t += "[0x00000000=" + Word() + "]"; break;
        case 2: t += Word() + "=" + Value() + Pick({"\n", "\r\n", "\r", ""}); break;
        case 3: t += Pick({" ", "\t", "\n", "\r", "[", "]", "=", "\\", "\""}); break;
        case 4: t += Bytes(Below(6)); break;
        default: t += Word() + "= " + Value() + "\n"; break;
      }
    }
    return t;
  }

  std::string Word() { return Pick({"a", "b", "Key", "", "[x", "a=b", "n\n", "S", "T"}); }

  std::string Value() {
    std::string v;
    const std::string chars = " -0x19aF\"\\[]\t\r\n=";
    for (size_t n = Below(10); n > 0; --n) v += chars[Below(chars.size())];
    return v;
  }

  std::string Bytes(size_t n) {
    std::string b;
    for (size_t i = 0; i < n; ++i) b += static_cast<char>(rng_());
    return b;
  }

 private:
  std::mt19937_64& rng_;
};

// One random command; returns its name for the failure message.
std::string RunRandomCommand(Profile& p, Generator& g) {
  auto capacity = static_cast<uint32_t>(g.Below(10));
  switch (g.Below(14)) {
    case 0: p.FindSection(g.Word()); return "find section";
    case 1: p.FindKey(g.Word()); return "find key";
    case 2: p.ReadNumber(); return "read number";
    case 3: {
      ProfileCopy c = p.ReadQuoted(capacity);
      EXPECT_LE(c.text->size() + 1, std::max<size_t>(capacity, 1));
      return "read quoted";
    }
    case 4: p.AddSection(g.Word()); return "add section";
    case 5: p.Set(g.Word(), g.Value()); return "set";
    case 6: p.DeleteSection(); return "delete section";
    case 7: p.DeleteKey(g.Word()); return "delete key";
    case 8: {
      ProfileCopy c = p.NextSection(capacity);
      EXPECT_LE(c.text->size() + 1, std::max<size_t>(capacity, 1));
      return "next section";
    }
    case 9:
      if (g.Below(10) == 0) p.Clear();
      return "clear";
    case 10: p.AtEndOfLine(); return "at end of line";
    case 11:
      p.AppendNumber(g.Word(), static_cast<uint32_t>(g.Below(1000)), g.Below(4));
      return "append number";
    case 12: p.AppendString(g.Word(), g.Value()); return "append string";
    default: {
      ProfileCopy c = p.NextLine(capacity);
      if (c.text) {
        EXPECT_LE(c.text->size() + 1, std::max<size_t>(capacity, 1));
      }
      return "next line";
    }
  }
}

TEST(ProfileFuzz, RandomTextsAndCommandsKeepTheSectionsConsistent) {
  uint64_t round_trips = 0;
  test::FuzzFor(
      1234567,
      [&](std::mt19937_64& rng) {
        Generator g(rng);
        std::string text = g.ProfileText();
        Profile p = Profile::FromFileBytes(text);
        ASSERT_EQ(p.CheckInvariants(), "") << "after loading " << ::testing::PrintToString(text);
        for (size_t step = g.Below(40); step > 0; --step) {
          std::string before = p.text();
          std::string command = RunRandomCommand(p, g);
          ASSERT_EQ(p.CheckInvariants(), "")
              << command << " on " << ::testing::PrintToString(before) << " from "
              << ::testing::PrintToString(text);
        }
        // Saved and loaded again, a profile whose only "[" are its sections comes back unchanged.
        std::string saved = p.FileBytes();
        Profile again = Profile::FromFileBytes(saved);
        ASSERT_EQ(again.CheckInvariants(), "");
        size_t sections = 0;
        for (size_t pos = 0; pos < p.text().size(); ++sections) {
          uint32_t n;
          std::memcpy(&n, p.text().data() + pos + 1, 4);
          pos += n;
        }
        if (std::count(saved.begin(), saved.end(), '[') == static_cast<ptrdiff_t>(sections) &&
            saved.find('\0') == std::string::npos) {
          ASSERT_EQ(again.text(), p.text()) << ::testing::PrintToString(saved);
          ++round_trips;
        }
      },
      20000);
  EXPECT_GT(round_trips, 0u);
}

}  // namespace
}  // namespace orva::services
