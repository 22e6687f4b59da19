// The event script format: what it accepts, what it refuses (with the file and line), and that
// what the recorder writes reads back the same.
#include "host/event_script.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace orva::host {
namespace {

std::vector<ScriptLine> Parse(std::string_view text) {
  auto result = ParseEventScript(text, "s.txt");
  if (auto* error = std::get_if<std::string>(&result)) ADD_FAILURE() << *error;
  auto* lines = std::get_if<std::vector<ScriptLine>>(&result);
  return lines ? *lines : std::vector<ScriptLine>{};
}

TEST(EventScript, ReadsEveryKind) {
  std::vector<ScriptLine> lines = Parse(
      "# a comment line\n"
      "\n"
      "0 key-down \"Left Shift\"   # modifiers carry no text\n"
      "5 key-down a\n"
      "5 text \"A\"\n"
      "5 text \"\\\"\\\\\\n\\x7F\"   # a second text is typed without a key\n"
      "6 key-up \"#\"\n"
      "7 mouse-move 10.5 -2\n"
      "8 mouse-down x2 1 2\n"
      "9 wheel -2.35 0\n"
      "10 resize 800 600\n"
      "10 move -5 7\n"
      "11 fullscreen off\n"
      "12 clipboard \"h\xC3\xA9\"\r\n"
      "13 quit");
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0].scancode, 225);
  EXPECT_FALSE(lines[0].has_text);
  EXPECT_EQ(lines[1].scancode, 4);
  EXPECT_TRUE(lines[1].has_text);
  EXPECT_EQ(lines[1].text, "A");
  EXPECT_EQ(lines[2].kind, ScriptKind::kText);
  EXPECT_EQ(lines[2].text, "\"\\\n\x7F");
  EXPECT_EQ(lines[3].scancode, 50);
  EXPECT_EQ(lines[4].x, 10.5);
  EXPECT_EQ(lines[5].button, 5);
  EXPECT_EQ(lines[6].x, -2.35);
  EXPECT_EQ(lines[8].x, -5);
  EXPECT_EQ(lines[9].kind, ScriptKind::kFullScreenOff);
  EXPECT_EQ(lines[10].text, "h\xC3\xA9");
  EXPECT_EQ(lines[11].kind, ScriptKind::kQuit);
  EXPECT_EQ(lines[11].line, 15);

  // What the recorder writes reads back as the same events.
  std::string written;
  for (const ScriptLine& l : lines) written += FormatScriptLine(l);
  std::vector<ScriptLine> again = Parse(written);
  ASSERT_EQ(again.size(), lines.size()) << written;
  for (size_t i = 0; i < lines.size(); ++i) {
    ScriptLine want = lines[i];
    want.line = again[i].line;
    EXPECT_EQ(again[i], want) << FormatScriptLine(lines[i]);
  }
}

TEST(EventScript, RefusesMalformedLinesNamingFileAndLine) {
  const char* bad[] = {
      "x key-down A",
      "-1 key-down A",
      "5",
      "5 press A",
      "5 key-down Nonesuch",
      "5 key-down",
      "5 key-down A B",
      "5 text \"open",
      "5 text \"\\q\"",
      "5 text \"\\x4\"",
      "5 text \"\xC3\"",
      "5 mouse-down left 1",
      "5 mouse-down thumb 1 2",
      "5 mouse-move 1 nan",
      "5 wheel 1e9 0",
      "5 resize 0 10",
      "5 resize 10.5 10",
      "5 resize 70000 10",
      "5 move 1 2 3",
      "5 fullscreen",
      "5 fullscreen maybe",
      "5 minimize now",
      "5 clipboard",
      "5 text \"a\"b",
  };
  for (const char* line : bad) {
    auto result = ParseEventScript(std::string("0 focus-gained\n\n") + line + "\n", "ev.txt");
    auto* error = std::get_if<std::string>(&result);
    ASSERT_TRUE(error) << line;
    EXPECT_EQ(error->rfind("ev.txt:3: ", 0), 0u) << *error;
  }
  auto back = ParseEventScript("10 close\n9 close\n", "ev.txt");
  EXPECT_EQ(std::get<std::string>(back), "ev.txt:2: the time goes back (9 after 10)");
}

}  // namespace
}  // namespace orva::host
