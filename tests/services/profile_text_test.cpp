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

// The text with every header's checksum digits blanked, for comparing edits.
std::string Plain(const Profile& p) {
  std::string s = p.FileBytes();
  for (size_t pos = 0; (pos = s.find("[0x", pos)) != std::string::npos; ++pos) {
    s.replace(pos + 1, 10, "0x00000000");
  }
  return s;
}

TEST(ProfileChecksum, SumsWordsAndFoldsTheTailAsSignedBytes) {
  EXPECT_EQ(SectionChecksum("["s + std::string(10, '\0') + "=Options]\nVolume=7\n"), 0xADBCD9A2u);
  EXPECT_EQ(SectionChecksum("["s + std::string(10, '\0') + "=A]\nk=\xff\xfe"), 0xA80A5D9Au);
  EXPECT_EQ(SectionChecksum(""), 0u);
}

TEST(ProfileSave, NewSectionAndKeyGiveTwoCheckedLines) {
  Profile p;
  p.AddSection("Options");
  EXPECT_TRUE(p.Set("Volume", "7"));
  EXPECT_EQ(p.FileBytes(), "[0xADBCD9A2=Options]\nVolume=7\n");
  EXPECT_EQ(Profile().FileBytes(), "");
}

TEST(ProfileSave, EverySectionGetsItsOwnChecksum) {
  Profile p = Load("[0xFFFFFFFF=A]\nk=\xff\xfe[garbage!!!=B]\r\nx=1\r\n");
  EXPECT_EQ(p.FileBytes(), "[0xA80A5D9A=A]\nk=\xff\xfe[0x543E9B1F=B]\r\nx=1\r\n");
}

TEST(ProfileLoad, OddTextBecomesAnEmptyOrTrimmedProfile) {
  EXPECT_EQ(Load("key=1\n[0x00000000=A]\n").text(), "");  // text before the first section
  EXPECT_EQ(Load("\n\n \t[0x00000000=A]\nk=1\n").FileBytes().substr(11), "=A]\nk=1\n");
  EXPECT_EQ(Plain(Load(Header("A") + "k=1\n"s + '\0' + "[0x00000000=B]\n")), Header("A") + "k=1\n");
  EXPECT_EQ(Plain(Load(Header("A") + "[0x123")), Header("A"));  // a header cut short
  EXPECT_EQ(Load("[0x123").text(), "");
  // Every "[" starts a section, even a short one that the next swallows into its header.
  Profile p = Load("[0x00000000=A][x[0x00000000=B]\n");
  EXPECT_EQ(p.NextSection(100).text, "0=B");  // "[x" zeroed B's "[" as a header byte
}

TEST(ProfileLoad, FirstSectionIsCurrentAndNextSectionNamesTheSecond) {
  Profile p = Load(Header("First") + "a=1\n" + Header("Second") + Header("Third"));
  EXPECT_TRUE(p.FindKey("a"));
  ProfileCopy next = p.NextSection(100);
  EXPECT_EQ(next.text, "Second");
  EXPECT_EQ(next.result, 6u);
  EXPECT_EQ(p.NextSection(100).text, "Third");
  next = p.NextSection(100);
  EXPECT_EQ(next.text, "");
  EXPECT_EQ(next.result, 0u);
  EXPECT_EQ(p.section(), std::nullopt);
  EXPECT_FALSE(p.FindKey("a"));
}

TEST(ProfileKeys, AppendNumbersAndStrings) {
  Profile p;
  p.AddSection("S");
  p.AppendNumber("Scores", 5, 0);
  EXPECT_EQ(Plain(p), Header("S") + "Scores= 5\n");
  p.AppendNumber("Scores", 12, 0);
  p.AppendNumber("Scores", 255, 2);
  p.AppendNumber("Scores", 8, 1);
  p.AppendNumber("Scores", 0xFFFFFFFF, 7);
  EXPECT_EQ(Plain(p), Header("S") + "Scores= 5 12 0x000000FF 010 -1\n");

  p.AppendString("Name", "say \"hi\" \\o/");
  EXPECT_EQ(Plain(p),
            Header("S") + "Scores= 5 12 0x000000FF 010 -1\nName= \"say \\\"hi\\\" \\\\o/\"\n");
  ASSERT_TRUE(p.FindKey("Name"));
  ProfileCopy s = p.ReadQuoted(100);
  EXPECT_EQ(s.text, "say \"hi\" \\o/");
  EXPECT_EQ(s.result, 12u);
  EXPECT_TRUE(p.AtEndOfLine());

  ASSERT_TRUE(p.FindKey("Scores"));
  std::vector<uint32_t> values;
  while (!p.AtEndOfLine()) values.push_back(p.ReadNumber().value.value());
  EXPECT_EQ(values, (std::vector<uint32_t>{5, 12, 0xFF, 8, 0xFFFFFFFF}));
}

TEST(ProfileKeys, NumberForms) {
  Profile p = Load(Header("S") + "n= -0x10 017 0X1f 4294967297 08 - x\n");
  ASSERT_TRUE(p.FindKey("n"));
  for (uint32_t expect : {0xFFFFFFF0u, 15u, 31u, 1u, 0u, 8u}) {
    ProfileNumber n = p.ReadNumber();
    EXPECT_EQ(n.result, 1u);
    EXPECT_EQ(n.value, expect);
  }
  ProfileNumber none = p.ReadNumber();  // "- x": no number, value 0, the cursor stays
  EXPECT_EQ(none.result, 0u);
  EXPECT_EQ(none.value, 0u);
  EXPECT_EQ(p.ReadNumber().result, 0u);
  EXPECT_FALSE(p.AtEndOfLine());

  Profile q = Load(Header("S"));
  EXPECT_EQ(q.ReadNumber().value, std::nullopt);  // no cursor: nothing stored
}

TEST(ProfileKeys, FindMatchesWholeKeysOnlyAndSkipsBlankLines) {
  Profile p = Load(Header("S") + "\n  \t\nVolumeX=1\r\n \tVolume=2\r\n");
  ASSERT_TRUE(p.FindKey("Volume"));
  EXPECT_EQ(p.ReadNumber().value, 2u);
  EXPECT_FALSE(p.FindKey("volume"));
  EXPECT_FALSE(p.FindKey("Vol"));
  EXPECT_EQ(p.cursor(), std::nullopt);  // a failed find leaves no cursor
}

TEST(ProfileKeys, SetReplacesOrInsertsAtTheEndOfTheCurrentSection) {
  Profile p = Load(Header("A") + "a=1\nb=2\n" + Header("B") + "a=9\n");
  EXPECT_TRUE(p.Set("a", "one"));
  EXPECT_TRUE(p.Set("c", "3"));
  EXPECT_EQ(Plain(p), Header("A") + "a=one\nb=2\nc=3\n" + Header("B") + "a=9\n");
  EXPECT_TRUE(p.DeleteKey("b"));
  EXPECT_FALSE(p.DeleteKey("b"));
  EXPECT_EQ(Plain(p), Header("A") + "a=one\nc=3\n" + Header("B") + "a=9\n");
  EXPECT_EQ(p.NextSection(10).text, "B");
  ASSERT_TRUE(p.FindKey("a"));
  EXPECT_EQ(p.ReadNumber().value, 9u);
}

TEST(ProfileKeys, EditsBeforeTheCursorMoveItWithTheText) {
  Profile p = Load(Header("A") + "a=1\nb=2 3\n");
  ASSERT_TRUE(p.FindKey("b"));
  EXPECT_EQ(p.ReadNumber().value, 2u);
  p.Set("a", "a much longer value");
  EXPECT_EQ(p.ReadNumber().value, 3u);

  ASSERT_TRUE(p.FindKey("b"));
  p.DeleteKey("a");
  EXPECT_EQ(p.ReadNumber().value, 2u);

  ASSERT_TRUE(p.FindKey("b"));
  p.DeleteKey("b");  // the cursor's own line: it stays inside the text
  EXPECT_EQ(p.CheckInvariants(), "");
  EXPECT_TRUE(p.AtEndOfLine());
}

TEST(ProfileKeys, ALastLineWithoutLineEndIsNotRunInto) {
  Profile p = Load(Header("A") + "k=v");
  p.Set("n", "1");
  EXPECT_EQ(Plain(p), Header("A") + "k=v\nn=1\n");

  Profile q = Load("[0x00000000=A]");  // the header itself lacks its line end
  q.AppendNumber("n", 1, 0);
  EXPECT_EQ(Plain(q), "[0x00000000=A]\nn= 1\n");
  ASSERT_TRUE(Profile::FromFileBytes(q.FileBytes()).FindKey("n"));
}

TEST(ProfileKeys, ScansStopAtTheSectionEvenWithoutALineEnd) {
  // A's last line runs straight into B's header.
  Profile p = Load(Header("A") + "k=v" + Header("B") + "x=1\n");
  EXPECT_FALSE(p.FindKey("x"));
  p.Set("x", "2");
  EXPECT_EQ(Plain(p), Header("A") + "k=v\nx=2\n" + Header("B") + "x=1\n");
  EXPECT_TRUE(p.FindKey("k"));
  EXPECT_EQ(p.NextLine(100).text, "v");
}

TEST(ProfileSections, FailedFindThenAdd) {
  Profile p = Load(Header("A") + "k=1\n");
  EXPECT_FALSE(p.FindSection("Missing"));
  EXPECT_EQ(p.section(), std::nullopt);
  EXPECT_FALSE(p.FindKey("k"));
  EXPECT_FALSE(p.Set("k", "2"));
  EXPECT_FALSE(p.AppendNumber("k", 2, 0));
  EXPECT_FALSE(p.AppendString("k", "2"));
  EXPECT_FALSE(p.DeleteKey("k"));
  EXPECT_EQ(p.NextLine(10).text, "");
  EXPECT_EQ(Plain(p), Header("A") + "k=1\n");

  p.AddSection("Missing");
  p.Set("z", "1");
  EXPECT_EQ(Plain(p), Header("A") + "k=1\n" + Header("Missing") + "z=1\n");
  EXPECT_TRUE(p.FindSection("A"));
  p.AddSection("Missing");  // exists: becomes current, nothing added
  p.Set("z", "2");
  EXPECT_EQ(Plain(p), Header("A") + "k=1\n" + Header("Missing") + "z=2\n");
  EXPECT_FALSE(p.FindSection("missing"));
  EXPECT_FALSE(p.FindSection("Miss"));
}

TEST(ProfileSections, DeleteMakesTheFirstCurrentAndClearEmpties) {
  Profile p = Load(Header("A") + "a=1\n" + Header("B") + "b=2\n");
  ASSERT_TRUE(p.FindSection("B"));
  p.DeleteSection();
  EXPECT_EQ(Plain(p), Header("A") + "a=1\n");
  EXPECT_EQ(p.section(), 0u);
  p.DeleteSection();
  EXPECT_EQ(p.text(), "");
  EXPECT_EQ(p.section(), std::nullopt);
  p.DeleteSection();

  Profile q = Load(Header("A"));
  q.Clear();
  EXPECT_EQ(q.text(), "");
  EXPECT_FALSE(q.Set("k", "v"));
}

TEST(ProfileLines, NextLineWalksTheSectionThenLetsGo) {
  Profile p = Load(Header("A") + "one\n\ntw\\\"o\\\\\r\nlast" + Header("B") + "x\n");
  ProfileCopy line = p.NextLine(100);
  EXPECT_EQ(line.text, "one");
  EXPECT_EQ(line.result, 3u);
  line = p.NextLine(100);
  EXPECT_EQ(line.text, "");
  EXPECT_EQ(line.result, 0u);
  line = p.NextLine(100);
  EXPECT_EQ(line.text, "tw\"o\\");
  EXPECT_EQ(line.result, 5u);
  line = p.NextLine(100);  // ends at the section's end, not at a line end
  EXPECT_EQ(line.text, "last");
  EXPECT_EQ(line.result, kProfileFail);
  EXPECT_EQ(p.section(), std::nullopt);
  line = p.NextLine(100);
  EXPECT_EQ(line.text, "");
  EXPECT_EQ(line.result, 0u);

  Profile q = Load(Header("A") + "abcdef\nnext\n");
  line = q.NextLine(4);  // room for three characters and the NUL
  EXPECT_EQ(line.text, "abc");
  EXPECT_EQ(line.result, kProfileFail);
  EXPECT_EQ(q.NextLine(100).text, "next");  // the rest of the long line was skipped
  EXPECT_EQ(q.section(), std::nullopt);

  Profile empty = Load(Header("A") + Header("B"));
  line = empty.NextLine(10);
  EXPECT_EQ(line.text, std::nullopt);  // no line at all: the destination is left alone
  EXPECT_EQ(line.result, 0u);
}

TEST(ProfileCapacities, SmallCapacitiesStaySafe) {
  Profile p = Load(Header("Name") + "s= \"abc\" \"\"\n" + Header("Other"));
  ASSERT_TRUE(p.FindKey("s"));
  for (uint32_t capacity : {0u, 1u, 3u}) {
    ProfileCopy s = p.ReadQuoted(capacity);
    EXPECT_EQ(s.result, kProfileFail);
    EXPECT_EQ(s.text->size(), capacity == 0 ? 0 : capacity - 1);
  }
  ProfileCopy s = p.ReadQuoted(4);
  EXPECT_EQ(s.text, "abc");
  EXPECT_EQ(s.result, 3u);
  s = p.ReadQuoted(0);  // the empty string needs no room
  EXPECT_EQ(s.result, 0u);
  EXPECT_TRUE(p.AtEndOfLine());

  EXPECT_EQ(p.NextSection(3).result, kProfileFail);
  EXPECT_EQ(p.NextSection(0).result, 0u);  // at the end
  EXPECT_EQ(p.NextLine(0).result, 0u);
}

TEST(ProfileQuoted, StopsAtControlCharactersAndTheSectionEnd) {
  Profile p = Load(Header("A") + "a= \"one\ntwo\"\nb= \"open\nc= x\nd= \"esc\\" + Header("B"));
  ASSERT_TRUE(p.FindKey("a"));
  EXPECT_EQ(p.ReadQuoted(100).result, kProfileFail);
  ASSERT_TRUE(p.FindKey("b"));
  EXPECT_EQ(p.ReadQuoted(100).result, kProfileFail);
  ASSERT_TRUE(p.FindKey("c"));
  ProfileCopy none = p.ReadQuoted(100);
  EXPECT_EQ(none.result, 0u);
  EXPECT_EQ(none.text, "");
  ASSERT_TRUE(p.FindKey("d"));
  EXPECT_EQ(p.ReadQuoted(100).result, kProfileFail);
}

}  // namespace
}  // namespace orva::services
