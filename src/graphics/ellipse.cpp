// Ellipses by a midpoint walk from the top and bottom centre outwards.
//
// The walk's decision variables are defined by 32-bit integer arithmetic that wraps, compared as
// signed numbers; programs see exactly that arithmetic (it starts to wrap for boxes of about
// 1600 pixels and more), so it is kept here, done on unsigned values so that the wrapping is
// well defined.
#include <cstdlib>

#include "graphics/raster.h"

namespace orva::graphics {

namespace {

// Signed 32-bit values with wrapping +, - and *; / truncates toward zero as in C.
struct W32 {
  uint32_t v;

  W32(int32_t s) : v(static_cast<uint32_t>(s)) {}  // NOLINT: plain numbers read naturally
  static W32 Raw(uint32_t u) { return W32(static_cast<int32_t>(u)); }
  int32_t s() const { return static_cast<int32_t>(v); }

  friend W32 operator+(W32 a, W32 b) { return Raw(a.v + b.v); }
  friend W32 operator-(W32 a, W32 b) { return Raw(a.v - b.v); }
  friend W32 operator*(W32 a, W32 b) { return Raw(a.v * b.v); }
  friend W32 operator/(W32 a, int32_t d) { return W32(a.s() / d); }  // d is 2 or 4
  W32& operator+=(W32 b) { return *this = *this + b; }
  W32& operator-=(W32 b) { return *this = *this - b; }
  friend bool operator<(W32 a, W32 b) { return a.s() < b.s(); }
  friend bool operator>(W32 a, W32 b) { return a.s() > b.s(); }
  friend bool operator>=(W32 a, W32 b) { return a.s() >= b.s(); }
  friend bool operator==(W32 a, W32 b) { return a.v == b.v; }
};

// Boxes beyond this on a side are left undrawn: the walk's arithmetic has long stopped meaning
// an ellipse there (it wraps from about 1600 pixels on), and for some flat boxes it would never
// end. No bitmap the host shows is wider or higher.
constexpr int64_t kLargestSide = 65535;

}  // namespace

void DrawEllipse(const Surface& s, int32_t x, int32_t y, int32_t w, int32_t h,
                 const ColourBlend& outline, const ColourBlend& fill) {
  if (!s.drawable()) return;
  if (std::llabs(w) > kLargestSide || std::llabs(h) > kLargestSide) return;
  const Box clip = s.clip_box();
  auto plot = [&](W32 px, W32 py) {
    if (clip.Contains(px.s(), py.s())) outline.ApplyAt(s.At(px.s(), py.s()));
  };
  auto fill_row = [&](W32 row, W32 from, W32 to) {
    FillBox(s, Box{from.s(), row.s(), int64_t{to.s()} + 1, int64_t{row.s()} + 1}, fill);
  };
  const bool do_fill = fill.visible();

  const W32 X = x, Y = y, Wd = w, Ht = h;
  const bool w_even = (w & 1) == 0, h_even = (h & 1) == 0;
  const W32 e = w_even ? 1 : 0;
  const W32 cL = X + (Wd - e) / 2, cR = cL + e;
  const W32 a = Wd - e - 1, A = a * a;
  const W32 b = h_even ? Ht - 2 : Ht - 1, B = b * b;
  const W32 m = (h_even ? Ht - 1 : Ht) / 2;
  const W32 yB = Y + W32(2) * m + (h_even ? 1 : 0);
  W32 D1 = A / 4 + B / 2 - (A / 2) * m;
  W32 D2 = B / 4 + A / 2 - m * A;
  W32 K = m * A, T = 0;
  const W32 C1 = B + B / 2, C2 = A + A / 2;

  plot(cL, Y);
  if (e == 1) plot(cR, Y);
  if (!(Y == yB)) {
    plot(cL, yB);
    if (e == 1) plot(cR, yB);
  }

  // A proper ellipse ends after about (|w| + |h|) / 2 steps; the cap only stops the flat boxes
  // whose wrapped arithmetic would step outwards for ever.
  int64_t steps_left = 2 * (std::llabs(w) + std::llabs(h)) + 64;
  W32 L = cL, R = cR, top = Y, bot = yB;
  do {
    if (D1 < 0) {  // outwards only
      D1 += C1 + T;
      T += B;
      D2 += T;
      L -= 1;
      R += 1;
    } else if (D2 < 0) {  // outwards and inwards
      D1 += C1 + T + A - K;
      T += B;
      D2 += C2 - K + T;
      K -= A;
      top += 1;
      bot -= 1;
      L -= 1;
      R += 1;
      if (do_fill && L + 1 < R) {
        fill_row(top, L + 1, R - 1);
        if (!(bot == top)) fill_row(bot, L + 1, R - 1);
      }
    } else {  // inwards only
      const W32 old_bot = bot;
      D1 -= K - A;
      D2 += C2 - K;
      K -= A;
      top += 1;
      bot -= 1;
      if (do_fill && old_bot > top) {
        fill_row(top, L + 1, R - 1);
        if (!(bot == top)) fill_row(bot, L + 1, R - 1);
      }
    }
    if (bot >= top) {
      plot(L, top);
      if (!(L == R)) plot(R, top);
      if (bot > top) {
        plot(L, bot);
        if (!(L == R)) plot(R, bot);
      }
    }
  } while (bot > top && --steps_left > 0);
}

}  // namespace orva::graphics
