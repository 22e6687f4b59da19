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
#include <cstring>

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

// Where a span starts, in whole source pixels, and whether the walk covers more than that.
bool StartsInside(const StretchSpan& s, int32_t limit) {
  return s.start >= 0 && (s.start >> 5) < limit;
}
bool EndsInside(const StretchSpan& s, int32_t limit) { return ((s.end - 1) >> 5) < limit; }
bool Walks(const StretchSpan& s) { return s.end > s.start; }

// Every source pixel the resampling reads lies inside the source: the start pixel, and, when
// both spans have extent (so that the walk runs), the far corner.
bool InsideSource(const StretchSpan& col, const StretchSpan& row, const Surface& src) {
  if (!StartsInside(col, src.width) || !StartsInside(row, src.height)) return false;
  return !(Walks(col) && Walks(row)) || (EndsInside(col, src.width) && EndsInside(row, src.height));
}

// Overlap of source cell `cell` (in whole pixels) with the span, in 1/32 pixels.
int64_t Overlap(const StretchSpan& s, int64_t cell) {
  const int64_t lo = std::max(s.start, cell * kSteps);
  const int64_t hi = std::min(s.end, (cell + 1) * kSteps);
  return hi - lo;
}

// floor(n / area) for the shares n = q * weight <= 255 * area. For areas up to 2^24 every n
// fits in 32 bits, and then floor(n / d) = (ceil(2^64 / d) * n) >> 64 exactly (Lemire, Kaser
// and Kurz, "Faster remainder by direct computation"): one multiplication per share instead
// of a division. Giant areas divide plainly.
class AreaDivider {
 public:
  explicit AreaDivider(int64_t area)
      : area_(static_cast<uint64_t>(area)),
        inverse_(area > 1 && area <= (int64_t{1} << 24) ? ~uint64_t{0} / area_ + 1 : 0) {}

  uint32_t Share(uint32_t q, int64_t weight) const {
    const uint64_t n = uint64_t{q} * static_cast<uint64_t>(weight);
    if (inverse_ != 0) {
      return static_cast<uint32_t>((static_cast<unsigned __int128>(inverse_) * n) >> 64);
    }
    return static_cast<uint32_t>(n / area_);
  }

 private:
  uint64_t area_;
  uint64_t inverse_;
};

Pixel Resample(const Surface& src, const StretchSpan& sx, const StretchSpan& sy) {
  const uint8_t* at = src.At(sx.start >> 5, sy.start >> 5);
  const Pixel p = LoadPixel(at);
  if (sx.end <= sx.start || sy.end <= sy.start) return p;

  const int64_t cx0 = sx.start >> 5, cx1 = (sx.end - 1) >> 5;
  const int64_t cy0 = sy.start >> 5, cy1 = (sy.end - 1) >> 5;
  if (cx0 == cx1 && cy0 == cy1) return p;  // the span lies within the pixel it starts in

  // Which channels differ somewhere in the span (the mark that the sums replace).
  uint32_t first, differ = 0;
  std::memcpy(&first, at, 4);
  for (int64_t cy = cy0; cy <= cy1; ++cy) {
    const uint8_t* q = src.At(cx0, cy);
    for (int64_t cx = cx0; cx <= cx1; ++cx, q += kBytesPerPixel) {
      uint32_t word;
      std::memcpy(&word, q, 4);
      differ |= word ^ first;
    }
  }
  if (differ == 0) return p;

  const bool marked[4] = {(differ & 0xFF) != 0, (differ & 0xFF00) != 0, (differ & 0xFF0000) != 0,
                          (differ & 0xFF000000) != 0};
  const int64_t area = (sx.end - sx.start) * (sy.end - sy.start);
  const AreaDivider divide(area);
  uint32_t sum[4] = {0, 0, 0, 0};
  for (int64_t cy = cy0; cy <= cy1; ++cy) {
    const int64_t oh = Overlap(sy, cy);
    const uint8_t* q = src.At(cx0, cy);
    for (int64_t cx = cx0; cx <= cx1; ++cx, q += kBytesPerPixel) {
      const int64_t weight = std::clamp<int64_t>(Overlap(sx, cx) * oh, 0, area);
      for (int c = 0; c < 4; ++c) {
        if (marked[c]) sum[c] += divide.Share(q[c], weight);
      }
    }
  }
  const uint8_t keep[4] = {p.p0, p.p1, p.p2, p.p3};
  auto channel = [&](int c) {
    return static_cast<uint8_t>(marked[c] ? std::min<uint32_t>(sum[c], 255) : keep[c]);
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
    if (!StartsInside(row, src.height)) continue;  // outside the source: skipped
    uint8_t* d = dst.At(area.left, y);
    for (size_t k = 0; k < columns; ++k, d += kBytesPerPixel) {
      const StretchSpan col = cached ? spans[k] : column_span(k);
      if (!InsideSource(col, row, src)) continue;
      const Pixel r = Resample(src, col, row);
      if (r.p3 == 255) {
        StorePixel(d, r);  // what the blend gives for an opaque colour
      } else if (r.p3 != 0) {
        StorePixel(d, ScaledBlend(LoadPixel(d), r));
      }
    }
  }
}

}  // namespace orva::graphics
