// Where every line the assembler reads came from, and the error reports that point into them.
//
// Each line processed (from a file, or produced by expanding a macro or a repeat block) gets a
// LineInfo, numbered in the order of processing, which is also the order of the listing. A line
// produced by an expansion remembers the line that asked for it, so a report can show the chain.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace orva::qxasm {

inline constexpr int32_t kNoLine = -1;

struct LineInfo {
  uint32_t file;     // index into SourceFiles::names
  uint32_t line;     // 1-based line number in that file
  int32_t parent;    // line that expanded this one (macro use or repeat block), or kNoLine
  std::string text;  // the text as assembled, after macro substitution
};

// A point in a line: column is 1-based; 0 stands for the whole line.
struct Loc {
  uint32_t line_id = 0;
  uint32_t column = 0;
};

// Lines live in a deque: a LineInfo never moves, so its text can be read (and tokenized) while
// processing it adds more lines.
struct SourceFiles {
  std::vector<std::string> names;  // as given or as found on the include path
  std::deque<LineInfo> lines;

  uint32_t AddLine(uint32_t file, uint32_t line, int32_t parent, std::string text) {
    lines.push_back({file, line, parent, std::move(text)});
    return static_cast<uint32_t>(lines.size() - 1);
  }
};

// Collects errors. Each renders as "file:line:column: message", the line, and a caret under the
// column; lines produced by expansions add the chain of uses that produced them.
class Diagnostics {
 public:
  explicit Diagnostics(const SourceFiles& files, size_t max_errors = 50)
      : files_(files), max_errors_(max_errors) {}

  void Error(Loc loc, std::string message);
  // An error that belongs to no line (command line, output file).
  void Error(std::string message);

  size_t count() const { return count_; }
  bool full() const { return count_ >= max_errors_; }
  const std::string& text() const { return text_; }

 private:
  void Render(Loc loc, const std::string& message);

  const SourceFiles& files_;
  size_t max_errors_;
  size_t count_ = 0;
  std::string text_;
};

}  // namespace orva::qxasm
