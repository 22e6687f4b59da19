// Copy-blend kernels. Each vector step works on a block of pixels in 16-bit lanes:
//
//   s * a and d * (255 - a)   products of two bytes, at most 65025, exact in 16 bits
//   floor(x / 255)            the high half of x * 0x8081, shifted right by 7 (= x * 0x8081 >> 23)
//   d3 = min(d3 + a, 255)     the bytes' saturating add, merged into the alpha byte
//
// Blocks whose source pixels are all opaque are stored as they are (the blend yields exactly
// the source); blocks that are all transparent are skipped (the blend yields the destination).
#include "graphics/blit_row.h"

#include <cstdint>

#include "graphics/blend.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ORVA_X86 1
#endif

namespace orva::graphics {

namespace {

void RowScalar(uint8_t* dst, const uint8_t* src, size_t n, bool invert) {
  for (size_t i = 0; i < n; ++i, dst += kBytesPerPixel, src += kBytesPerPixel) {
    Pixel s = LoadPixel(src);
    if (s.p3 == 0) continue;
    StorePixel(dst, CopyBlend(LoadPixel(dst), s, invert));
  }
}

#if ORVA_X86

inline __m128i Div255x8(__m128i x) {
  return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(static_cast<int16_t>(0x8081))), 7);
}

// Two pixels in 16-bit lanes: s * a / 255 + d * (255 - a) / 255 in every lane.
inline __m128i BlendHalf(__m128i s16, __m128i d16) {
  __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0xFF), 0xFF);
  __m128i keep = _mm_xor_si128(a, _mm_set1_epi16(0xFF));
  return _mm_add_epi16(Div255x8(_mm_mullo_epi16(s16, a)), Div255x8(_mm_mullo_epi16(d16, keep)));
}

void RowSse2(uint8_t* dst, const uint8_t* src, size_t n, bool invert) {
  const __m128i alpha_mask = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  const __m128i flip = invert ? _mm_set1_epi32(0x00FFFFFF) : _mm_setzero_si128();
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 4 <= n; i += 4, dst += 16, src += 16) {
    __m128i s = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)), flip);
    __m128i a = _mm_and_si128(s, alpha_mask);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, alpha_mask)) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), s);
      continue;
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, zero)) == 0xFFFF) continue;
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
    __m128i lo = BlendHalf(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
    __m128i hi = BlendHalf(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
    __m128i colour = _mm_packus_epi16(lo, hi);
    __m128i alpha = _mm_adds_epu8(d, s);
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(dst),
        _mm_or_si128(_mm_andnot_si128(alpha_mask, colour), _mm_and_si128(alpha_mask, alpha)));
  }
  RowScalar(dst, src, n - i, invert);
}

// The same steps on eight pixels. The unpacks, shuffles and packs of AVX2 work within each
// 128-bit half, so every pixel stays in its own half and comes back to its place.
__attribute__((target("avx2"))) inline __m256i Div255x16(__m256i x) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<int16_t>(0x8081))),
                           7);
}

__attribute__((target("avx2"))) inline __m256i BlendHalf256(__m256i s16, __m256i d16) {
  __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s16, 0xFF), 0xFF);
  __m256i keep = _mm256_xor_si256(a, _mm256_set1_epi16(0xFF));
  return _mm256_add_epi16(Div255x16(_mm256_mullo_epi16(s16, a)),
                          Div255x16(_mm256_mullo_epi16(d16, keep)));
}

__attribute__((target("avx2"))) void RowAvx2(uint8_t* dst, const uint8_t* src, size_t n,
                                             bool invert) {
  const __m256i alpha_mask = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
  const __m256i flip = invert ? _mm256_set1_epi32(0x00FFFFFF) : _mm256_setzero_si256();
  const __m256i zero = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 8 <= n; i += 8, dst += 32, src += 32) {
    __m256i s = _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src)), flip);
    __m256i a = _mm256_and_si256(s, alpha_mask);
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(a, alpha_mask)) == -1) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), s);
      continue;
    }
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(a, zero)) == -1) continue;
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
    __m256i lo = BlendHalf256(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(d, zero));
    __m256i hi = BlendHalf256(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(d, zero));
    __m256i colour = _mm256_packus_epi16(lo, hi);
    __m256i alpha = _mm256_adds_epu8(d, s);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst),
                        _mm256_or_si256(_mm256_andnot_si256(alpha_mask, colour),
                                        _mm256_and_si256(alpha_mask, alpha)));
  }
  RowSse2(dst, src, n - i, invert);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

#endif  // ORVA_X86

using RowFn = void (*)(uint8_t*, const uint8_t*, size_t, bool);

RowFn KernelFn(BlitKernel k) {
  switch (k) {
    case BlitKernel::kScalar: return RowScalar;
#if ORVA_X86
    case BlitKernel::kSse2: return RowSse2;
    case BlitKernel::kAvx2: return HasAvx2() ? RowAvx2 : nullptr;
#else
    default: return nullptr;
#endif
  }
  return nullptr;
}

// A run whose destination begins inside its own source, to the right of it, would read pixels
// a vector step has not yet written back.
bool ReadsOwnWrites(const uint8_t* dst, const uint8_t* src, size_t n) {
  auto d = reinterpret_cast<uintptr_t>(dst), s = reinterpret_cast<uintptr_t>(src);
  return d > s && d - s < n * kBytesPerPixel;
}

}  // namespace

BlitKernel BestBlitKernel() {
#if ORVA_X86
  return HasAvx2() ? BlitKernel::kAvx2 : BlitKernel::kSse2;
#else
  return BlitKernel::kScalar;
#endif
}

void CopyBlendRow(uint8_t* dst, const uint8_t* src, size_t n, bool invert) {
  static const RowFn best = KernelFn(BestBlitKernel());
  if (ReadsOwnWrites(dst, src, n)) return RowScalar(dst, src, n, invert);
  best(dst, src, n, invert);
}

bool CopyBlendRowWith(BlitKernel k, uint8_t* dst, const uint8_t* src, size_t n, bool invert) {
  RowFn fn = KernelFn(k);
  if (!fn) return false;
  if (ReadsOwnWrites(dst, src, n)) fn = RowScalar;
  fn(dst, src, n, invert);
  return true;
}

}  // namespace orva::graphics
