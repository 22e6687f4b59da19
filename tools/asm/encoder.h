// Builds the words of one instruction from its plan and its operand values.
#pragma once

#include <cstdint>
#include <functional>

#include "program.h"

namespace orva::qxasm {

// What the encoder needs from the pass under way.
struct EncodeEnv {
  uint32_t here;  // the instruction's address
  bool final;     // the emitting pass: report every problem
  // Evaluates an expression (kNoExpr gives a known 0); reports problems when final.
  std::function<Value(ExprId)> value;
  // Reports a problem at a column of the instruction's line (only called when final).
  std::function<void(uint32_t column, std::string message)> error;
};

struct Words {
  uint32_t w[4] = {};
  uint32_t n = 0;
};

// Encodes `in`. May set in.grown (a value no longer fits the short form); in layout passes
// unknown values take the short form, so the length can only grow from pass to pass.
Words Encode(Instr& in, const EncodeEnv& env);

// -2^31 .. 2^32-1: a value a 32-bit field holds (as signed or as unsigned).
constexpr bool Fits32(int64_t v) { return v >= INT32_MIN && v <= static_cast<int64_t>(UINT32_MAX); }

}  // namespace orva::qxasm
