// Lines through the 64-bit line pattern.
#include <algorithm>
#include <bit>
#include <cstdlib>

#include "graphics/raster.h"

namespace orva::graphics {

namespace {

// Consider one pixel: take the pattern's top bit, rotate, blend when the bit was 1.
class PatternPen {
 public:
  PatternPen(const Surface& s, const ColourBlend& c, uint64_t& pattern)
      : s_(s), c_(c), pattern_(pattern) {}

  void Consider(int64_t x, int64_t y) {
    bool on = (pattern_ >> 63) != 0;
    pattern_ = std::rotl(pattern_, 1);
    if (on) c_.ApplyAt(s_.At(x, y));
  }

  // A run of n pixels from (x, y) stepping (step_x, step_y). With a solid pattern or an
  // invisible colour the pattern only needs rotating once for the whole run.
  void Run(int64_t x, int64_t y, int64_t step_x, int64_t step_y, int64_t n) {
    if (!c_.visible() || pattern_ == ~uint64_t{0}) {
      if (c_.visible()) {
        for (int64_t i = 0; i < n; ++i) c_.ApplyAt(s_.At(x + i * step_x, y + i * step_y));
      }
      pattern_ = std::rotl(pattern_, static_cast<int>(n % 64));
      return;
    }
    for (int64_t i = 0; i < n; ++i) Consider(x + i * step_x, y + i * step_y);
  }

 private:
  const Surface& s_;
  const ColourBlend& c_;
  uint64_t& pattern_;
};

// Number of minor-axis steps Bresenham's walk has taken before its k-th point, for a line of
// major extent dM >= 1 and minor extent dm <= dM whose error term starts at 2dm - dM and steps
// on err >= 1: floor((2 dm k + dM - 1) / (2 dM)). Lets a clipped line start its walk where it
// enters the clip rectangle instead of stepping through up to 2^32 points outside it.
int64_t MinorSteps(int64_t dm, int64_t dM, int64_t k) {
  using Wide = unsigned __int128;
  Wide n = Wide(2) * Wide(dm) * Wide(k) + Wide(dM - 1);
  return static_cast<int64_t>(n / (Wide(2) * Wide(dM)));
}

// The slanted case. Walks the points k = 0 .. dM of the line along its major axis, but only
// the stretch of k whose major coordinate lies inside the clip; the error term there is the
// one the full walk would have reached.
void Bresenham(const Surface& s, int64_t x1, int64_t y1, int64_t x2, int64_t y2, PatternPen& pen) {
  const Box clip = s.clip_box();
  const int64_t dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
  const int64_t sx = x2 > x1 ? 1 : -1, sy = y2 > y1 ? 1 : -1;
  const bool y_major = dx < dy;
  const int64_t dM = y_major ? dy : dx, dm = y_major ? dx : dy;
  const int64_t major0 = y_major ? y1 : x1, minor0 = y_major ? x1 : y1;
  const int64_t s_major = y_major ? sy : sx, s_minor = y_major ? sx : sy;
  const int64_t lo = y_major ? clip.top : clip.left, hi = (y_major ? clip.bottom : clip.right) - 1;

  // k such that major0 + k * s_major lies in [lo, hi], within 0 .. dM.
  int64_t k_first = s_major > 0 ? lo - major0 : major0 - hi;
  int64_t k_last = s_major > 0 ? hi - major0 : major0 - lo;
  k_first = std::max<int64_t>(k_first, 0);
  k_last = std::min(k_last, dM);
  if (k_first > k_last) return;

  int64_t m = MinorSteps(dm, dM, k_first);
  // err_k = 2 dm (k + 1) - dM - 2 dM m_k, which lies in [2dm - 2dM + 1, 2dm).
  using Wide = __int128;
  int64_t err = static_cast<int64_t>(Wide(2) * dm * (k_first + 1) - dM - Wide(2) * dM * Wide(m));
  int64_t major = major0 + k_first * s_major, minor = minor0 + m * s_minor;
  for (int64_t k = k_first; k <= k_last; ++k) {
    int64_t x = y_major ? minor : major, y = y_major ? major : minor;
    if (clip.Contains(x, y)) pen.Consider(x, y);
    if (err >= 1) {
      minor += s_minor;
      err += 2 * (dm - dM);
    } else {
      err += 2 * dm;
    }
    major += s_major;
  }
}

}  // namespace

std::optional<Box> DrawLine(const Surface& s, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                            const ColourBlend& colour, uint64_t& pattern) {
  if (!s.drawable()) return std::nullopt;
  const Box clip = s.clip_box();
  PatternPen pen(s, colour, pattern);

  if (x1 == x2 && y1 == y2) {
    if (!clip.Contains(x1, y1)) return std::nullopt;
    pen.Consider(x1, y1);
    return BoxOf(x1, y1, 1, 1);
  }
  if (x1 == x2) {
    if (x1 < clip.left || x1 >= clip.right) return std::nullopt;
    int64_t top = std::max<int64_t>(std::min(y1, y2), clip.top);
    int64_t bottom = std::min<int64_t>(std::max(y1, y2), clip.bottom - 1);
    if (top > bottom) return std::nullopt;
    if (y2 > y1) {
      pen.Run(x1, top, 0, 1, bottom - top + 1);
    } else {
      pen.Run(x1, bottom, 0, -1, bottom - top + 1);
    }
    return Box{x1, top, int64_t{x1} + 1, bottom + 1};
  }
  if (y1 == y2) {
    if (y1 < clip.top || y1 >= clip.bottom) return std::nullopt;
    int64_t left = std::max<int64_t>(std::min(x1, x2), clip.left);
    int64_t right = std::min<int64_t>(std::max(x1, x2), clip.right - 1);
    if (left > right) return std::nullopt;
    if (x2 > x1) {
      pen.Run(left, y1, 1, 0, right - left + 1);
    } else {
      pen.Run(right, y1, -1, 0, right - left + 1);
    }
    return Box{left, y1, right + 1, int64_t{y1} + 1};
  }
  Bresenham(s, x1, y1, x2, y2, pen);
  return Box{std::min(x1, x2), std::min(y1, y2), int64_t{std::max(x1, x2)} + 1,
             int64_t{std::max(y1, y2)} + 1};
}

}  // namespace orva::graphics
