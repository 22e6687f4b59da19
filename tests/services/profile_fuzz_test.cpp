// Random profile texts and random command sequences: no command may break the section lengths
// (checked after every one), overrun a capacity, or read outside the text (under the sanitizers).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "services/profile_text.h"
#include "support/fuzz.h"
#include "vm/image.h"

namespace orva::services {
namespace {

struct Generator {
  std::mt19937_64& rng;

  size_t Below(size_t n) { return rng() % n; }
  std::string Pick(std::initializer_list<const char*> choices) {
    return *(choices.begin() + Below(choices.size()));
  }
  std::string Word() { return Pick({"a", "b", "Key", "", "[x", "a=b", "n\n", "S"}); }
  std::string Chars(const std::string& from, size_t n) {
    std::string s;
    while (n-- > 0) s += from.empty() ? char(rng()) : from[Below(from.size())];
    return s;
  }
  std::string Value() { return Chars(" -0x19aF\"\\[]\t\r\n=", Below(10)); }

  // Text that looks like a profile often enough to reach deep, with the usual damage.
  std::string ProfileText() {
    if (Below(8) == 0) return Chars("", Below(64));
    std::string t;
    for (size_t n = Below(12); n > 0; --n) {
      switch (Below(6)) {
        case 0: t += "[0x" + Chars("", 8) + "=" + Word() + "]\n"; break;
        case 1: t += "[0x00000000=" + Word() + "]"; break;
        case 2: t += Word() + "=" + Value() + Pick({"\n", "\r\n", "\r", ""}); break;
        case 3: t += Chars(" \t\n\r[]=\\\"", 1 + Below(3)); break;
        default: t += Word() + "= " + Value() + "\n"; break;
      }
    }
    return t;
  }

  // Runs one random command; returns its number.
  int RunCommand(Profile& p) {
    auto capacity = static_cast<uint32_t>(Below(10));
    std::optional<std::string> copied;
    int command = 3 + static_cast<int>(Below(14));
    switch (command) {
      case 3: p.FindSection(Word()); break;
      case 4: p.FindKey(Word()); break;
      case 5: p.ReadNumber(); break;
      case 6: copied = p.ReadQuoted(capacity).text; break;
      case 7: p.AddSection(Word()); break;
      case 8: p.Set(Word(), Value()); break;
      case 9: p.DeleteSection(); break;
      case 10: p.DeleteKey(Word()); break;
      case 11: copied = p.NextSection(capacity).text; break;
      case 12:
        if (Below(10) == 0) p.Clear();
        break;
      case 13: p.AtEndOfLine(); break;
      case 14: p.AppendNumber(Word(), uint32_t(rng()), uint32_t(Below(4))); break;
      case 15: p.AppendString(Word(), Value()); break;
      default: copied = p.NextLine(capacity).text; break;
    }
    EXPECT_LE(copied.value_or("").size(), capacity == 0 ? 0 : capacity - 1) << command;
    return command;
  }
};

size_t SectionCount(const std::string& text) {
  size_t n = 0;
  for (size_t pos = 0; pos < text.size(); ++n)
    pos += vm::Ld32(reinterpret_cast<const uint8_t*>(&text[pos + 1]));
  return n;
}

TEST(ProfileFuzz, RandomTextsAndCommandsKeepTheSectionsConsistent) {
  uint64_t round_trips = 0;
  test::FuzzFor(
      1234567,
      [&](std::mt19937_64& rng) {
        Generator g{rng};
        std::string text = g.ProfileText();
        Profile p = Profile::FromFileBytes(text);
        ASSERT_EQ(p.CheckInvariants(), "") << ::testing::PrintToString(text);
        for (size_t step = g.Below(40); step > 0; --step) {
          std::string before = p.text();
          int command = g.RunCommand(p);
          ASSERT_EQ(p.CheckInvariants(), "")
              << "command " << command << " on " << ::testing::PrintToString(before);
        }
        // Saved and loaded again, a profile whose only "[" are its sections comes back unchanged.
        std::string saved = p.FileBytes();
        Profile again = Profile::FromFileBytes(saved);
        ASSERT_EQ(again.CheckInvariants(), "");
        if (size_t(std::count(saved.begin(), saved.end(), '[')) == SectionCount(p.text()) &&
            saved.find('\0') == std::string::npos) {
          ASSERT_EQ(again.text(), p.text()) << ::testing::PrintToString(saved);
          ++round_trips;
        }
      },
      20000);
  EXPECT_GT(round_trips, 1000u);
}

}  // namespace
}  // namespace orva::services
