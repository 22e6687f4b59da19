#include "graphics/reference.h"

#include <algorithm>
#include <cstdlib>

namespace orva::graphics::reference {

namespace {

bool InClip(const Surface& s, int64_t x, int64_t y) {
  return x >= s.clip.x && x < int64_t{s.clip.x} + s.clip.w && y >= s.clip.y &&
         y < int64_t{s.clip.y} + s.clip.h;
}

void BlendColour(uint8_t* p, uint32_t colour) {
  const int a = colour >> 24;
  const int s[3] = {static_cast<int>((colour >> 16) & 255), static_cast<int>((colour >> 8) & 255),
                    static_cast<int>(colour & 255)};
  for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(p[c] * (255 - a) / 255 + s[c] * a / 255);
  p[3] = static_cast<uint8_t>(p[3] * (255 - a) / 255 + a * a / 255);
}

}  // namespace

void FillBox(const Surface& s, int64_t x, int64_t y, int64_t w, int64_t h, uint32_t colour) {
  for (int64_t py = y; py < y + h; ++py)
    for (int64_t px = x; px < x + w; ++px)
      if (InClip(s, px, py)) BlendColour(s.At(px, py), colour);
}

void Blit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t sx, int32_t sy,
          int32_t w, int32_t h, bool invert, int32_t x_limit, int32_t y_limit) {
  if (w <= 0 || h <= 0) return;
  for (int64_t ty = dy;; ty += h) {
    for (int64_t y = ty; y < ty + h; ++y) {
      if (y_limit != 0 && y >= y_limit) break;
      for (int64_t tx = dx;; tx += w) {
        for (int64_t x = tx; x < tx + w; ++x) {
          if (x_limit != 0 && x >= x_limit) break;
          if (!InClip(dst, x, y)) continue;
          const int64_t src_x = sx + (x - tx), src_y = sy + (y - ty);
          if (src_x < 0 || src_x >= src.width || src_y < 0 || src_y >= src.height) continue;
          const uint8_t* s = src.At(src_x, src_y);
          uint8_t* d = dst.At(x, y);
          const int a = s[3];
          if (a == 0) continue;
          uint8_t out[4];
          for (int c = 0; c < 3; ++c) {
            int sc = invert ? 255 - s[c] : s[c];
            out[c] = static_cast<uint8_t>(sc * a / 255 + d[c] * (255 - a) / 255);
          }
          out[3] = static_cast<uint8_t>(std::min(d[3] + a, 255));
          std::copy(out, out + 4, d);
        }
        if (x_limit == 0 || tx + w >= x_limit) break;
      }
    }
    if (y_limit == 0 || ty + h >= y_limit) break;
  }
}

void StretchBlit(const Surface& dst, const Surface& src, int32_t dx, int32_t dy, int32_t dw,
                 int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t x_limit,
                 int32_t y_limit) {
  if (dw < 1 || dh < 1 || sw < 1 || sh < 1) return;
  if (dw == sw && dh == sh) return Blit(dst, src, dx, dy, sx, sy, dw, dh, false, x_limit, y_limit);
  for (int64_t ty = dy;; ty += dh) {
    for (int64_t y = ty; y < ty + dh; ++y) {
      if (y_limit != 0 && y >= y_limit) break;
      for (int64_t tx = dx;; tx += dw) {
        for (int64_t x = tx; x < tx + dw; ++x) {
          if (x_limit != 0 && x >= x_limit) break;
          if (!InClip(dst, x, y)) continue;
          const int64_t i = x - tx, j = y - ty;
          const int64_t X0 = 32 * sx + 32 * i * sw / dw, X1 = 32 * sx + 32 * (i + 1) * sw / dw;
          const int64_t Y0 = 32 * sy + 32 * j * sh / dh, Y1 = 32 * sy + 32 * (j + 1) * sh / dh;
          const int64_t area = (X1 - X0) * (Y1 - Y0);
          // Skip destination pixels whose span reaches outside the source.
          if (X0 < 0 || Y0 < 0 || (X0 >> 5) >= src.width || (Y0 >> 5) >= src.height) continue;
          if (X1 > X0 && ((X1 - 1) >> 5) >= src.width) continue;
          if (Y1 > Y0 && ((Y1 - 1) >> 5) >= src.height) continue;
          const uint8_t* P = src.At(X0 >> 5, Y0 >> 5);
          int k[4], sum[4] = {0, 0, 0, 0};
          for (int c = 0; c < 4; ++c) k[c] = P[c];
          for (int64_t yy = Y0; Y1 > Y0 && yy < Y1;) {
            const int64_t next_y = (yy + 32) & ~int64_t{31};
            const int64_t oh = std::min(next_y, Y1) - yy;
            for (int64_t xx = X0; X1 > X0 && xx < X1;) {
              const int64_t next_x = (xx + 32) & ~int64_t{31};
              const int64_t ow = std::min(next_x, X1) - xx;
              const int64_t weight = std::clamp<int64_t>(ow * oh, 0, area);
              const uint8_t* Q = src.At(xx >> 5, yy >> 5);
              for (int c = 0; c < 4; ++c) {
                sum[c] += static_cast<int>(Q[c] * weight / area);
                if (Q[c] != k[c]) k[c] = 256;
              }
              xx = next_x;
            }
            yy = next_y;
          }
          int r[4];
          for (int c = 0; c < 4; ++c) r[c] = k[c] == 256 ? std::min(sum[c], 255) : k[c];
          const int a = r[3];
          if (a == 0) continue;
          uint8_t* d = dst.At(x, y);
          for (int c = 0; c < 3; ++c)
            d[c] = static_cast<uint8_t>(r[c] * a / 255 + d[c] * (255 - a) / 255);
          d[3] = static_cast<uint8_t>(std::min(a * a / 255 + d[3] * (255 - a) / 255, 255));
        }
        if (x_limit == 0 || tx + dw >= x_limit) break;
      }
    }
    if (y_limit == 0 || ty + dh >= y_limit) break;
  }
}

bool DrawLine(const Surface& s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour,
              uint64_t& pattern) {
  auto consider = [&](int64_t x, int64_t y) {
    bool on = pattern >> 63;
    pattern = pattern << 1 | pattern >> 63;
    if (on) BlendColour(s.At(x, y), colour);
  };
  const int64_t first_col = s.clip.x, last_col = int64_t{s.clip.x} + s.clip.w - 1;
  const int64_t first_row = s.clip.y, last_row = int64_t{s.clip.y} + s.clip.h - 1;
  if (x1 == x2 && y1 == y2) {
    if (!InClip(s, x1, y1)) return false;
    consider(x1, y1);
    return true;
  }
  if (x1 == x2) {
    if (x1 < first_col || x1 > last_col) return false;
    // An empty run (the clip has no rows) counts as nothing drawn, as for horizontal lines.
    if (y2 > y1) {
      int64_t from = std::max<int64_t>(y1, first_row), to = std::min<int64_t>(y2, last_row);
      if (last_row < y1 || first_row > y2 || from > to) return false;
      for (int64_t y = from; y <= to; ++y) consider(x1, y);
    } else {
      int64_t from = std::min<int64_t>(y1, last_row), to = std::max<int64_t>(y2, first_row);
      if (last_row < y2 || first_row > y1 || from < to) return false;
      for (int64_t y = from; y >= to; --y) consider(x1, y);
    }
    return true;
  }
  if (y1 == y2) {
    if (y1 < first_row || y1 > last_row) return false;
    if (x2 > x1) {
      int64_t from = std::max<int64_t>(x1, first_col), to = std::min<int64_t>(x2, last_col);
      if (from > to) return false;
      for (int64_t x = from; x <= to; ++x) consider(x, y1);
    } else {
      int64_t from = std::min<int64_t>(x1, last_col), to = std::max<int64_t>(x2, first_col);
      if (from < to) return false;
      for (int64_t x = from; x >= to; --x) consider(x, y1);
    }
    return true;
  }
  const int64_t dx = std::llabs(int64_t{x2} - x1), dy = std::llabs(int64_t{y2} - y1);
  const int64_t sx = x2 > x1 ? 1 : -1, sy = y2 > y1 ? 1 : -1;
  int64_t x = x1, y = y1;
  if (dx < dy) {
    int64_t err = 2 * dx - dy;
    for (int64_t i = 0; i <= dy; ++i) {
      if (InClip(s, x, y)) consider(x, y);
      if (err >= 1) {
        x += sx;
        err += 2 * (dx - dy);
      } else {
        err += 2 * dx;
      }
      y += sy;
    }
  } else {
    int64_t err = 2 * dy - dx;
    for (int64_t i = 0; i <= dx; ++i) {
      if (InClip(s, x, y)) consider(x, y);
      if (err >= 1) {
        y += sy;
        err += 2 * (dy - dx);
      } else {
        err += 2 * dy;
      }
      x += sx;
    }
  }
  return true;
}

}  // namespace orva::graphics::reference
