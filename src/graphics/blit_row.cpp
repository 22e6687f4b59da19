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

// The vector kernels split each pixel's bytes into 16-bit lanes without shuffles: the even bytes
// (p0, p2) by masking, the odd ones (p1, p3) by shifting right 8, and the pixel's alpha into
// both of its lanes. The colour comes back together as even | odd << 8, and the alpha byte is
// then taken from the saturating add. The 128- and 256-bit blocks are the same steps.

__m128i BlendBlock(__m128i s, __m128i d) {
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const __m128i magic = _mm_set1_epi16(static_cast<int16_t>(0x8081));
  const __m128i alpha_mask = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  auto div255 = [&](__m128i x) { return _mm_srli_epi16(_mm_mulhi_epu16(x, magic), 7); };
  __m128i a = _mm_srli_epi32(s, 24);
  a = _mm_or_si128(a, _mm_slli_epi32(a, 16));
  const __m128i keep = _mm_xor_si128(a, low_bytes);
  const __m128i even = _mm_add_epi16(div255(_mm_mullo_epi16(_mm_and_si128(s, low_bytes), a)),
                                     div255(_mm_mullo_epi16(_mm_and_si128(d, low_bytes), keep)));
  const __m128i odd = _mm_add_epi16(div255(_mm_mullo_epi16(_mm_srli_epi16(s, 8), a)),
                                    div255(_mm_mullo_epi16(_mm_srli_epi16(d, 8), keep)));
  const __m128i colour = _mm_or_si128(even, _mm_slli_epi16(odd, 8));
  return _mm_or_si128(_mm_andnot_si128(alpha_mask, colour),
                      _mm_and_si128(alpha_mask, _mm_adds_epu8(d, s)));
}

void RowSse2(uint8_t* dst, const uint8_t* src, size_t n, bool invert) {
  const __m128i alpha_mask = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  const __m128i flip = invert ? _mm_set1_epi32(0x00FFFFFF) : _mm_setzero_si128();
  size_t i = 0;
  for (; i + 4 <= n; i += 4, dst += 16, src += 16) {
    const __m128i s = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)), flip);
    const __m128i a = _mm_and_si128(s, alpha_mask);
    const int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(a, alpha_mask));
    if (opaque == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), s);
      continue;
    }
    if (opaque == 0 && _mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) == 0xFFFF) {
      continue;
    }
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), BlendBlock(s, d));
  }
  RowScalar(dst, src, n - i, invert);
}

__attribute__((target("avx2"))) inline __m256i Div255(__m256i x) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<int16_t>(0x8081))),
                           7);
}

// With AVX2 the alpha reaches both lanes by one byte shuffle, and the alpha byte is merged by
// one byte blend.
__attribute__((target("avx2"))) __m256i BlendBlock(__m256i s, __m256i d) {
  const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
  const __m256i alpha_mask = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
  const __m256i spread =
      _mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1, 3, -1, 3, -1, 7,
                       -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1);
  const __m256i a = _mm256_shuffle_epi8(s, spread);
  const __m256i keep = _mm256_xor_si256(a, low_bytes);
  const __m256i even =
      _mm256_add_epi16(Div255(_mm256_mullo_epi16(_mm256_and_si256(s, low_bytes), a)),
                       Div255(_mm256_mullo_epi16(_mm256_and_si256(d, low_bytes), keep)));
  const __m256i odd = _mm256_add_epi16(Div255(_mm256_mullo_epi16(_mm256_srli_epi16(s, 8), a)),
                                       Div255(_mm256_mullo_epi16(_mm256_srli_epi16(d, 8), keep)));
  const __m256i colour = _mm256_or_si256(even, _mm256_slli_epi16(odd, 8));
  return _mm256_blendv_epi8(colour, _mm256_adds_epu8(d, s), alpha_mask);
}

template <bool kInvert>
__attribute__((target("avx2"))) void RowAvx2(uint8_t* dst, const uint8_t* src, size_t n) {
  const __m256i alpha_mask = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
  const __m256i flip = _mm256_set1_epi32(0x00FFFFFF);
  size_t i = 0;
  for (; i + 8 <= n; i += 8, dst += 32, src += 32) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    if (kInvert) s = _mm256_xor_si256(s, flip);
    if (_mm256_testc_si256(s, alpha_mask)) {  // every alpha 255
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), s);
      continue;
    }
    if (_mm256_testz_si256(s, alpha_mask)) continue;  // every alpha 0
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), BlendBlock(s, d));
  }
  // Clear the upper halves before the SSE tail: left dirty, they would slow down every later
  // SSE instruction of the process.
  _mm256_zeroupper();
  RowSse2(dst, src, n - i, kInvert);
}

void RowAvx2Either(uint8_t* dst, const uint8_t* src, size_t n, bool invert) {
  return invert ? RowAvx2<true>(dst, src, n) : RowAvx2<false>(dst, src, n);
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
    case BlitKernel::kAvx2: return HasAvx2() ? RowAvx2Either : nullptr;
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
