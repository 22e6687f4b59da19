#include "source.h"

namespace orva::qxasm {

namespace {

// The line as shown under a report: tabs become spaces so that the caret lines up.
std::string Shown(const std::string& text) {
  std::string s = text;
  for (char& c : s)
    if (c == '\t' || c == '\r') c = ' ';
  return s;
}

}  // namespace

void Diagnostics::Error(Loc loc, std::string message) {
  ++count_;
  if (count_ > max_errors_) return;
  Render(loc, message);
  if (count_ == max_errors_) text_ += "too many errors; stopping\n";
}

void Diagnostics::Error(std::string message) {
  ++count_;
  if (count_ > max_errors_) return;
  text_ += "qxasm: " + message + "\n";
}

void Diagnostics::Render(Loc loc, const std::string& message) {
  if (loc.line_id >= files_.lines.size()) {
    text_ += message + "\n";
    return;
  }
  // The error itself, then each use that expanded the line, innermost first. Expansion chains
  // are bounded by the nesting limit, so this walk is short.
  std::string what = message;
  for (int32_t id = static_cast<int32_t>(loc.line_id); id != kNoLine;) {
    const LineInfo& li = files_.lines[id];
    uint32_t column = id == static_cast<int32_t>(loc.line_id) ? loc.column : 0;
    if (column == 0) column = static_cast<uint32_t>(li.text.find_first_not_of(" \t") + 1);
    if (column == 0 || column > li.text.size() + 1) column = 1;
    text_ += files_.names[li.file] + ":" + std::to_string(li.line) + ":" + std::to_string(column) +
             ": " + what + "\n";
    text_ += Shown(li.text) + "\n";
    text_ += std::string(column - 1, ' ') + "^\n";
    id = li.parent;
    what = "expanded from here";
  }
}

}  // namespace orva::qxasm
