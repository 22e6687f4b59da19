// Reads the source: files and their includes, macro definitions and uses, repeat blocks and
// conditional assembly. Every line that survives goes to the Parser in processing order.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "assembler.h"
#include "parser.h"
#include "program.h"

namespace orva::qxasm {

class Frontend {
 public:
  Frontend(Program& program, Diagnostics& diag, const Options& options);

  // Reads the main source, given as text, under the name `name`.
  void Run(std::string_view text, const std::string& name);

 private:
  // A line to process: its text (stable for the duration of the processing) and origin.
  struct RawLine {
    std::string_view text;
    uint32_t file;
    uint32_t line;
  };
  struct BodyLine {
    std::string text;
    uint32_t file;
    uint32_t line;
  };
  struct Macro {
    std::string name;
    std::vector<std::string> params;
    std::vector<std::string> defaults;
    std::vector<BodyLine> body;
    Loc def;
  };
  // Per-source reading state: open conditionals and a block being collected.
  struct Cond {
    bool active;  // lines are assembled
    bool parent_active;
    bool taken;  // some branch of this .if has been assembled
    bool seen_else;
    Loc loc;
  };
  struct Collect {
    enum Kind { kNone, kMacro, kRept } kind = kNone;
    int depth = 0;
    Loc loc;
    std::unique_ptr<Macro> macro;  // kMacro
    int64_t count = 0;             // kRept
    std::vector<BodyLine> body;    // kRept
  };
  struct Context {
    std::vector<Cond> conds;
    Collect collect;
    bool Active() const { return conds.empty() || conds.back().active; }
  };

  void ProcessLines(const std::vector<RawLine>& lines, int32_t parent, int depth,
                    const Macro* macro, const std::vector<std::string>* args);
  void ProcessLine(Context& ctx, uint32_t line_id, int depth);
  bool CollectLine(Context& ctx, uint32_t line_id, int depth);
  bool Conditional(Context& ctx, const std::string& word, const std::vector<Token>& t, size_t pos,
                   uint32_t line_id);
  void Include(const std::vector<Token>& t, size_t pos, uint32_t line_id, int depth);
  void BeginMacro(Context& ctx, const std::vector<Token>& t, size_t pos, uint32_t line_id);
  void Expand(const Macro& m, const std::vector<Token>& t, size_t pos, uint32_t line_id, int depth);
  void ReadFile(const std::string& path, std::string_view text, int depth);
  std::string Substitute(std::string_view text, const Macro& m,
                         const std::vector<std::string>& args, uint64_t serial) const;
  std::string FindInclude(const std::string& name, uint32_t from_file) const;

  Program& p_;
  Diagnostics& diag_;
  const Options& options_;
  Parser parser_;
  std::deque<std::string> texts_;  // file contents, alive while their lines are referenced
  std::unordered_map<std::string, std::unique_ptr<Macro>> macros_;
  uint64_t serial_ = 0;  // \@: numbers each macro expansion
  int include_depth_ = 0;
  bool out_of_lines_ = false;
};

}  // namespace orva::qxasm
