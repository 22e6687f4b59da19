// What the arithmetic operations compute, as plain functions of values. The interpreter loads
// the operands, calls these, and stores the result; keeping the rules here makes them easy to
// read against each other and to test on their own.
//
// Integer values are unsigned of the operand size (uint8_t .. uint64_t); signed operations
// reinterpret them. Nothing here may trap on the host: every division case is defined.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace orva::vm::ops {

#define ORVA_ALWAYS_INLINE inline __attribute__((always_inline))

template <class T>
using Signed = std::make_signed_t<T>;

// FLAGS from a result: bit 0 its lowest bit, bit 1 zero, bit 2 its top (sign) bit.
template <class T>
ORVA_ALWAYS_INLINE constexpr uint8_t FlagsOf(T r) {
  return static_cast<uint8_t>((r & 1) | ((r == 0) << 1) | ((r >> (sizeof(T) * 8 - 1)) << 2));
}

// FLAGS of a floating difference: bit 1 equal to zero (and not a NaN), bit 2 below zero.
template <class F>
ORVA_ALWAYS_INLINE constexpr uint8_t FloatFlagsOf(F diff) {
  return static_cast<uint8_t>(((diff == 0) << 1) | ((diff < 0) << 2));
}

// Shifts take their count from one byte. BYTE, WORD and LONG values are shifted as 32-bit
// quantities with the count taken modulo 32, so a BYTE shifted left by 8..31 becomes 0 and by 32
// is unchanged; QUAD counts are taken modulo 64.
template <class T>
ORVA_ALWAYS_INLINE constexpr T ShiftLeft(T v, uint8_t count) {
  if constexpr (sizeof(T) == 8)
    return v << (count & 63);
  else
    return static_cast<T>(static_cast<uint32_t>(v) << (count & 31));
}

template <class T>
ORVA_ALWAYS_INLINE constexpr T ShiftRightLogical(T v, uint8_t count) {
  if constexpr (sizeof(T) == 8)
    return v >> (count & 63);
  else
    return static_cast<T>(static_cast<uint32_t>(v) >> (count & 31));
}

template <class T>
ORVA_ALWAYS_INLINE constexpr T ShiftRightArith(T v, uint8_t count) {
  if constexpr (sizeof(T) == 8)
    return static_cast<T>(static_cast<int64_t>(v) >> (count & 63));
  else
    return static_cast<T>(static_cast<int32_t>(static_cast<Signed<T>>(v)) >> (count & 31));
}

// Signed division and remainder; the divisor is not zero. BYTE and WORD are computed widened
// (so -128 / -1 stores 0x80); for every size, dividing by -1 gives the wrapped negation and a
// remainder of 0, which makes the most negative LONG and QUAD divided by -1 yield the dividend.
template <class T>
ORVA_ALWAYS_INLINE constexpr T DivSigned(T a, T b) {
  if (b == static_cast<T>(-1)) return static_cast<T>(T{0} - a);
  return static_cast<T>(static_cast<Signed<T>>(a) / static_cast<Signed<T>>(b));
}

template <class T>
ORVA_ALWAYS_INLINE constexpr T RemSigned(T a, T b) {
  if (b == static_cast<T>(-1)) return 0;
  return static_cast<T>(static_cast<Signed<T>>(a) % static_cast<Signed<T>>(b));
}

// A floating value as a signed 64-bit integer, truncated toward zero; values without a 64-bit
// counterpart (NaN, infinities, magnitude 2^63 or more) give 0x8000000000000000.
template <class F>
ORVA_ALWAYS_INLINE constexpr uint64_t FloatToInt64(F v) {
  constexpr F kLimit = static_cast<F>(9223372036854775808.0);  // 2^63, exact in both types
  if (v > -kLimit && v < kLimit) return static_cast<uint64_t>(static_cast<int64_t>(v));
  return uint64_t{1} << 63;
}

// Codes 68-71: the DOUBLE rounded to single precision, truncated toward zero, and the low 32
// bits of that integer.
ORVA_ALWAYS_INLINE constexpr uint32_t DoubleThroughFloatToInt32(double v) {
  return static_cast<uint32_t>(FloatToInt64(static_cast<float>(v)));
}

template <class T>
ORVA_ALWAYS_INLINE constexpr uint64_t SignExtend(T v) {
  return static_cast<uint64_t>(static_cast<int64_t>(static_cast<Signed<T>>(v)));
}

}  // namespace orva::vm::ops

namespace orva::vm {

// Little-endian loads and stores of an operand's type, for the loops' templates.
template <class T>
ORVA_ALWAYS_INLINE T Ld(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class T>
ORVA_ALWAYS_INLINE void St(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// Products in the operand's width; uint16_t * uint16_t would otherwise overflow int.
template <class T>
ORVA_ALWAYS_INLINE T Mul(T a, T b) {
  using W = std::conditional_t<(sizeof(T) < 4), uint32_t, T>;
  return static_cast<T>(static_cast<W>(a) * static_cast<W>(b));
}

}  // namespace orva::vm
