#include "graphics/reference.h"

#include <algorithm>

namespace orva::graphics::reference {

namespace {

bool InClip(const Surface& s, int64_t x, int64_t y) {
  const ClipRect& c = s.clip;
  return x >= c.x && x < int64_t{c.x} + c.w && y >= c.y && y < int64_t{c.y} + c.h;
}

bool InBitmap(const Surface& s, int64_t x, int64_t y) {
  return x >= 0 && x < s.width && y >= 0 && y < s.height;
}

// Visits the destination pixels of a tiled copy in the designed order: vertical tiles, their
// rows, the horizontal tiles of each row, their columns; (i, j) is the position in the tile.
template <typename F>
void ForEachTiled(const Surface& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t x_limit,
                  int32_t y_limit, F&& visit) {
  for (int64_t ty = dy;; ty += h) {
    for (int64_t y = ty; y < ty + h && (y_limit == 0 || y < y_limit); ++y) {
      for (int64_t tx = dx;; tx += w) {
        for (int64_t x = tx; x < tx + w && (x_limit == 0 || x < x_limit); ++x)
          if (InClip(dst, x, y)) visit(x, y, x - tx, y - ty);
        if (x_limit == 0 || tx + w >= x_limit) break;
      }
    }
    if (y_limit == 0 || ty + h >= y_limit) break;
  }
}

}  // namespace

void FillBox(const Surface& s, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  const int a = colour >> 24,
            c[3] = {int(colour >> 16 & 255), int(colour >> 8 & 255), int(colour & 255)};
  for (int64_t py = y; py < int64_t{y} + h; ++py)
    for (int64_t px = x; px < int64_t{x} + w; ++px) {
      if (!InClip(s, px, py)) continue;
      uint8_t* p = s.At(px, py);
      for (int i = 0; i < 3; ++i) p[i] = uint8_t(p[i] * (255 - a) / 255 + c[i] * a / 255);
      p[3] = uint8_t(p[3] * (255 - a) / 255 + a * a / 255);
    }
}

void Blit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t sx, int32_t sy,
          int32_t w, int32_t h, bool invert, int32_t x_limit, int32_t y_limit) {
  if (w <= 0 || h <= 0) return;
  ForEachTiled(
      dst, dx, dy, w, h, x_limit, y_limit, [&](int64_t x, int64_t y, int64_t i, int64_t j) {
        if (!InBitmap(src, sx + i, sy + j)) return;
        const uint8_t* s = src.At(sx + i, sy + j);
        uint8_t* d = dst.At(x, y);
        const int a = s[3];
        if (a == 0) return;
        uint8_t out[4];
        for (int c = 0; c < 3; ++c)
          out[c] = uint8_t((invert ? 255 - s[c] : s[c]) * a / 255 + d[c] * (255 - a) / 255);
        out[3] = uint8_t(std::min(d[3] + a, 255));
        std::copy(out, out + 4, d);
      });
}

void StretchBlit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t dw,
                 int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t x_limit,
                 int32_t y_limit) {
  if (dw < 1 || dh < 1 || sw < 1 || sh < 1) return;
  if (dw == sw && dh == sh) return Blit(dst, src, dx, dy, sx, sy, dw, dh, false, x_limit, y_limit);
  ForEachTiled(
      dst, dx, dy, dw, dh, x_limit, y_limit, [&](int64_t x, int64_t y, int64_t i, int64_t j) {
        const int64_t X0 = 32 * sx + 32 * i * sw / dw, X1 = 32 * sx + 32 * (i + 1) * sw / dw;
        const int64_t Y0 = 32 * sy + 32 * j * sh / dh, Y1 = 32 * sy + 32 * (j + 1) * sh / dh;
        const int64_t area = (X1 - X0) * (Y1 - Y0);
        // Skipped when any pixel the span reads lies outside the source.
        if (!InBitmap(src, X0 >> 5, Y0 >> 5)) return;
        if (X1 > X0 && Y1 > Y0 && !InBitmap(src, (X1 - 1) >> 5, (Y1 - 1) >> 5)) return;
        const uint8_t* P = src.At(X0 >> 5, Y0 >> 5);
        int k[4] = {P[0], P[1], P[2], P[3]}, sum[4] = {0, 0, 0, 0};
        for (int64_t yy = Y0; yy < Y1; yy = (yy + 32) & ~31) {
          const int64_t oh = std::min((yy + 32) & ~int64_t{31}, Y1) - yy;
          for (int64_t xx = X0; xx < X1; xx = (xx + 32) & ~31) {
            const int64_t ow = std::min((xx + 32) & ~int64_t{31}, X1) - xx;
            const int64_t weight = std::clamp<int64_t>(ow * oh, 0, area);
            const uint8_t* Q = src.At(xx >> 5, yy >> 5);
            for (int c = 0; c < 4; ++c) {
              sum[c] += int(Q[c] * weight / area);
              if (Q[c] != k[c]) k[c] = 256;
            }
          }
        }
        int r[4];
        for (int c = 0; c < 4; ++c) r[c] = k[c] == 256 ? std::min(sum[c], 255) : k[c];
        const int a = r[3];
        if (a == 0) return;
        uint8_t* d = dst.At(x, y);
        for (int c = 0; c < 3; ++c) d[c] = uint8_t(r[c] * a / 255 + d[c] * (255 - a) / 255);
        d[3] = uint8_t(std::min(a * a / 255 + d[3] * (255 - a) / 255, 255));
      });
}

}  // namespace orva::graphics::reference
