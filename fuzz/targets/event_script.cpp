// Any text as an event script: it is refused with one message naming the file and the line, or
// read; what is read, written out as a recording and read again, gives the same events.
#include <string>
#include <variant>
#include <vector>

#include "harness.h"
#include "host/event_script.h"

ORVA_FUZZ_TARGET(event_script) {
  using namespace orva::host;
  auto parsed = ParseEventScript(orva::fuzz::Text(input), "fuzz.events");
  if (auto* error = std::get_if<std::string>(&parsed)) {
    FUZZ_CHECK(error->starts_with("fuzz.events:"));
    return;
  }
  std::vector<ScriptLine>& lines = std::get<std::vector<ScriptLine>>(parsed);
  std::string written;
  for (const ScriptLine& l : lines) written += FormatScriptLine(l);
  auto again = ParseEventScript(written, "recorded.events");
  FUZZ_CHECK(std::holds_alternative<std::vector<ScriptLine>>(again));
  std::vector<ScriptLine>& read_back = std::get<std::vector<ScriptLine>>(again);
  FUZZ_CHECK(read_back.size() == lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    lines[i].line = read_back[i].line;
    FUZZ_CHECK(read_back[i] == lines[i]);
  }
}
