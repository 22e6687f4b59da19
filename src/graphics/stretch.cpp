// Resampling copies: an area-weighted box filter in 1/32-pixel steps.
//
// Destination pixel i of a tile (of dw columns) covers the source span from
// 32 sx + 32 i sw / dw to 32 sx + 32 (i + 1) sw / dw, in 1/32 pixels (divisions truncating);
// rows likewise. Each covered source pixel Q adds floor(Q_c * weight / area) to channel c,
// where weight is the overlap of Q with the span rectangle and area the span rectangle's size.
// A channel in which all covered pixels agree keeps that exact value instead of the (truncated)
// sum, so flat areas keep their colour; a span too small to cover a whole 1/32 step takes the
// pixel at its start.
//
// Spans are computed in 64 bits (with a 128-bit product), so large bitmaps resample as they
// should instead of wrapping.
#include <algorithm>
#include <array>

#include "graphics/raster.h"

namespace orva::graphics {

namespace {

constexpr int kSteps = 32;  // 1/32-pixel units
constexpr size_t kCachedColumns = 65536;

StretchSpan SpanOf(int32_t start_px, int64_t i, int32_t src_size, int32_t dst_size) {
  auto offset = [&](int64_t k) {
    return static_cast<int64_t>(static_cast<__int128>(kSteps) * k * src_size / dst_size);
  };
  const int64_t base = int64_t{kSteps} * start_px;
  return {base + offset(i), base + offset(i + 1)};
}

// The span's source pixels all lie inside 0 .. limit - 1: its start pixel, and every pixel the
// walk visits when it has any extent.
bool InsideSource(const StretchSpan& s, int32_t limit) {
  if (s.start < 0 || (s.start >> 5) >= limit) return false;
  return s.end <= s.start || ((s.end - 1) >> 5) < limit;
}

// Overlap of source cell `cell` (in whole pixels) with the span, in 1/32 pixels.
int64_t Overlap(const StretchSpan& s, int64_t cell) {
  const int64_t lo = std::max(s.start, cell * kSteps);
  const int64_t hi = std::min(s.end, (cell + 1) * kSteps);
  return hi - lo;
}

// floor(q * weight / area), with q * weight <= 255 * area. Thirty-two bits do for all but
// giant spans, and divide much faster.
inline uint32_t Share(uint32_t q, int64_t weight, int64_t area) {
  if (area <= (int64_t{1} << 24)) {
    return q * static_cast<uint32_t>(weight) / static_cast<uint32_t>(area);
  }
  return static_cast<uint32_t>(q * static_cast<uint64_t>(weight) / static_cast<uint64_t>(area));
}

Pixel Resample(const Surface& src, const StretchSpan& sx, const StretchSpan& sy) {
  const Pixel p = LoadPixel(src.At(sx.start >> 5, sy.start >> 5));
  if (sx.end <= sx.start || sy.end <= sy.start) return p;

  const int64_t cx0 = sx.start >> 5, cx1 = (sx.end - 1) >> 5;
  const int64_t cy0 = sy.start >> 5, cy1 = (sy.end - 1) >> 5;

  // Which channels differ somewhere in the span (the mark that the sums replace).
  const std::array<uint8_t, 4> first{p.p0, p.p1, p.p2, p.p3};
  bool marked[4] = {false, false, false, false};
  for (int64_t cy = cy0; cy <= cy1; ++cy) {
    const uint8_t* q = src.At(cx0, cy);
    for (int64_t cx = cx0; cx <= cx1; ++cx, q += kBytesPerPixel) {
      for (int c = 0; c < 4; ++c) marked[c] |= q[c] != first[c];
    }
  }
  if (!(marked[0] || marked[1] || marked[2] || marked[3])) return p;

  const int64_t area = (sx.end - sx.start) * (sy.end - sy.start);
  uint32_t sum[4] = {0, 0, 0, 0};
  for (int64_t cy = cy0; cy <= cy1; ++cy) {
    const int64_t oh = Overlap(sy, cy);
    const uint8_t* q = src.At(cx0, cy);
    for (int64_t cx = cx0; cx <= cx1; ++cx, q += kBytesPerPixel) {
      const int64_t weight = std::clamp<int64_t>(Overlap(sx, cx) * oh, 0, area);
      for (int c = 0; c < 4; ++c) {
        if (marked[c]) sum[c] += Share(q[c], weight, area);
      }
    }
  }
  auto channel = [&](int c) {
    return static_cast<uint8_t>(marked[c] ? std::min<uint32_t>(sum[c], 255) : first[c]);
  };
  return {channel(0), channel(1), channel(2), channel(3)};
}

}  // namespace

void StretchBlit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t dw,
                 int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t x_limit,
                 int32_t y_limit, std::vector<StretchSpan>& spans) {
  if (dw < 1 || dh < 1 || sw < 1 || sh < 1) return;
  if (dw == sw && dh == sh) return Blit(dst, src, dx, dy, sx, sy, dw, dh, false, x_limit, y_limit);
  if (!dst.drawable() || !src.drawable()) return;
  const Box area = TiledArea(dx, dy, dw, dh, x_limit, y_limit).Intersect(dst.clip_box());
  if (area.empty()) return;

  // Column spans repeat on every row: keep them, unless the area is wider than any screen.
  const size_t columns = static_cast<size_t>(area.width());
  const bool cached = columns <= kCachedColumns;
  auto column_span = [&](size_t k) {
    return SpanOf(sx, (area.left + int64_t(k) - dx) % dw, sw, dw);
  };
  if (cached) {
    spans.resize(columns);
    for (size_t k = 0; k < columns; ++k) spans[k] = column_span(k);
  }
  for (int64_t y = area.top; y < area.bottom; ++y) {
    const StretchSpan row = SpanOf(sy, (y - dy) % dh, sh, dh);
    if (!InsideSource(row, src.height)) continue;  // outside the source: skipped
    uint8_t* d = dst.At(area.left, y);
    for (size_t k = 0; k < columns; ++k, d += kBytesPerPixel) {
      const StretchSpan col = cached ? spans[k] : column_span(k);
      if (!InsideSource(col, src.width)) continue;
      const Pixel r = Resample(src, col, row);
      if (r.p3 != 0) StorePixel(d, ScaledBlend(LoadPixel(d), r));
    }
  }
}

}  // namespace orva::graphics
