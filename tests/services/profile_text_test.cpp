#include "services/profile_text.h"

#include <gtest/gtest.h>

#include <string>

namespace orva::services {
namespace {

using namespace std::string_literals;

// A header as it stands in a file; the checksum text is ignored when loading.
std::string Header(std::string_view name) { return "[0x00000000=" + std::string(name) + "]\n"; }

Profile Load(std::string_view text) {
  Profile p = Profile::FromFileBytes(text);
  EXPECT_EQ(p.CheckInvariants(), "");
  return p;
}

// The file text with every checksum blanked, for comparing edits.
std::string Plain(const Profile& p) {
  std::string s = p.FileBytes();
  for (size_t pos = 0; (pos = s.find("[0x", pos)) != std::string::npos; ++pos)
    s.replace(pos + 1, 10, "0x00000000");
  return s;
}

TEST(ProfileText, SavesEverySectionWithItsChecksum) {
  // Worked out by hand: u32 sums, then the tail folded in as signed bytes.
  Profile p = Load("[0xFFFFFFFF=A]\nk=\xff\xfe[garbage!!!=B]\r\nx=1\r\n");
  EXPECT_EQ(p.FileBytes(), "[0xA80A5D9A=A]\nk=\xff\xfe[0x543E9B1F=B]\r\nx=1\r\n");
}

TEST(ProfileText, OddTextLoadsAsAnEmptyOrTrimmedProfile) {
  EXPECT_EQ(Load("key=1\n" + Header("A")).text(), "");  // text before the first section
  EXPECT_EQ(Plain(Load("\n\n \t" + Header("A") + "k=1\n")), Header("A") + "k=1\n");
  EXPECT_EQ(Plain(Load(Header("A") + "k=1\n"s + '\0' + Header("B"))), Header("A") + "k=1\n");
  EXPECT_EQ(Plain(Load(Header("A") + "[0x123")), Header("A"));  // a header cut short
  // Every "[" starts a section: "[x" takes B's "[" and nine more bytes as its header.
  EXPECT_EQ(Load("[0x00000000=A][x[0x00000000=B]\n").NextSection(100).text, "0=B");
}

TEST(ProfileText, ValuesAppendedReadBack) {
  Profile p;
  p.AddSection("S");
  for (auto [value, form] : {std::pair{5u, 0u}, {12u, 0u}, {255u, 2u}, {8u, 1u}, {~0u, 7u}})
    p.AppendNumber("Scores", value, form);
  p.AppendString("Name", "say \"hi\" \\o/");
  EXPECT_EQ(Plain(p),
            Header("S") + "Scores= 5 12 0x000000FF 010 -1\nName= \"say \\\"hi\\\" \\\\o/\"\n");
  ASSERT_TRUE(p.FindKey("Scores"));
  std::vector<uint32_t> values;
  while (!p.AtEndOfLine()) values.push_back(p.ReadNumber().value.value());
  EXPECT_EQ(values, (std::vector<uint32_t>{5, 12, 0xFF, 8, 0xFFFFFFFF}));
  ASSERT_TRUE(p.FindKey("Name"));
  EXPECT_EQ(p.ReadQuoted(100).text, "say \"hi\" \\o/");

  Profile n = Load(Header("S") + "n= -0x10 017 0X1f 4294967297 08 - x\n");
  ASSERT_TRUE(n.FindKey("n"));
  for (uint32_t expect : {0xFFFFFFF0u, 15u, 31u, 1u, 0u, 8u})
    EXPECT_EQ(n.ReadNumber().value, expect);
  ProfileNumber none = n.ReadNumber();  // "- x": no number; 0 is stored, the cursor stays
  EXPECT_EQ(none.result, 0u);
  EXPECT_EQ(none.value, 0u);
  EXPECT_FALSE(n.AtEndOfLine());
}

TEST(ProfileText, EditsKeepTheCursorOnItsTextAndStayInTheSection) {
  Profile p = Load(Header("A") + "\n  \ta=1\nb=2 3\n" + Header("B") + "a=9\n");
  ASSERT_TRUE(p.FindKey("b"));
  EXPECT_EQ(p.ReadNumber().value, 2u);
  p.Set("a", "a much longer value");
  EXPECT_EQ(p.ReadNumber().value, 3u);
  ASSERT_TRUE(p.FindKey("b"));
  p.DeleteKey("a");
  p.Set("c", "4");
  EXPECT_EQ(p.ReadNumber().value, 2u);
  EXPECT_EQ(Plain(p), Header("A") + "\nb=2 3\nc=4\n" + Header("B") + "a=9\n");

  Profile q = Load(Header("A") + "k=v" + Header("B") + "x=1\n");  // k=v runs into B
  EXPECT_FALSE(q.FindKey("x"));
  q.Set("x", "2");
  EXPECT_EQ(Plain(q), Header("A") + "k=v\nx=2\n" + Header("B") + "x=1\n");
  Profile r = Load("[0x00000000=A]");  // the header itself lacks its line end
  r.AppendNumber("n", 1, 0);
  EXPECT_EQ(Plain(r), "[0x00000000=A]\nn= 1\n");
}

TEST(ProfileText, SectionsAfterAFailedFind) {
  Profile p = Load(Header("A") + "k=1\n");
  EXPECT_FALSE(p.FindSection("a"));
  EXPECT_FALSE(p.FindKey("k") || p.Set("k", "2") || p.AppendNumber("k", 2, 0) ||
               p.AppendString("k", "2") || p.DeleteKey("k") || p.NextLine(10).result);
  p.AddSection("a");
  p.Set("z", "1");
  EXPECT_TRUE(p.FindSection("A"));
  p.AddSection("a");  // exists: becomes current, nothing added
  p.Set("z", "2");
  EXPECT_EQ(Plain(p), Header("A") + "k=1\n" + Header("a") + "z=2\n");
  p.DeleteSection();
  EXPECT_EQ(p.section(), 0u);  // the first section becomes current
  ProfileCopy next = p.NextSection(100);
  EXPECT_EQ(next.text, "");
  EXPECT_EQ(p.section(), std::nullopt);
}

TEST(ProfileText, CopiesRespectCapacitiesLineEndsAndTheSectionEnd) {
  Profile p = Load(Header("A") + "one\n\ntw\\\"o\\\\\r\nabcdef\nlast" + Header("Bee"));
  for (auto [text, result] : {std::pair{"one", 3u}, {"", 0u}, {"tw\"o\\", 5u}}) {
    ProfileCopy line = p.NextLine(100);
    EXPECT_EQ(line.text, text);
    EXPECT_EQ(line.result, result);
  }
  EXPECT_EQ(p.NextLine(4).text, "abc");  // room for three and the NUL; the rest is skipped
  ProfileCopy line = p.NextLine(100);    // no line end before the section's end
  EXPECT_EQ(line.text, "last");
  EXPECT_EQ(line.result, kProfileFail);
  EXPECT_EQ(p.section(), std::nullopt);
  EXPECT_EQ(Load(Header("A")).NextLine(10).text, std::nullopt);  // no line: left untouched
  EXPECT_EQ(Load(Header("A") + Header("Bee")).NextSection(3).result, kProfileFail);

  Profile q = Load(Header("A") + "s= \"abc\" \"\"\nb= \"open\nc= x\nd= \"esc\\" + Header("B"));
  ASSERT_TRUE(q.FindKey("s"));
  for (uint32_t capacity : {0u, 1u, 3u}) {
    ProfileCopy s = q.ReadQuoted(capacity);
    EXPECT_EQ(s.result, kProfileFail);
    EXPECT_EQ(s.text->size(), capacity == 0 ? 0 : capacity - 1);
  }
  EXPECT_EQ(q.ReadQuoted(4).result, 3u);
  EXPECT_EQ(q.ReadQuoted(0).result, 0u);  // the empty string needs no room
  for (const char* key : {"b", "d"}) {
    ASSERT_TRUE(q.FindKey(key));
    EXPECT_EQ(q.ReadQuoted(100).result, kProfileFail) << key;
  }
  ASSERT_TRUE(q.FindKey("c"));
  EXPECT_EQ(q.ReadQuoted(100).text, "");  // no opening quote mark
}

}  // namespace
}  // namespace orva::services
