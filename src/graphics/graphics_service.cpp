// Service group 5, one row per command.
//
// Legend: arguments are the call block's u32 words after the service word. `hBM` is a bitmap
// handle; x, y, w, h and the limits are signed; a 64-bit argument takes two words, low first.
// A row that answers writes R14: 32-bit answers keep R14's upper half, 64-bit ones fill it.
// Image addresses (points, output words) go through the SysCall's checked accessors before any
// bitmap is bound, so a bad address faults with nothing pinned.
#include "graphics/graphics_service.h"

#include <array>

#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/image_files.h"
#include "graphics/raster.h"
#include "graphics/text.h"
#include "services/syscall.h"

namespace orva::graphics {

namespace {

using services::SysCall;

struct Command {
  const char* name;  // the operation, for readers of the table
  void (*run)(Host&, SysCall&);
};

constexpr std::array<Command, 20> kCommands = {{
    // 0: hBM, points address, point count, colour
    {"DrawPolyline",
     [](Host& host, SysCall& c) {
       const int32_t count = c.IntArg(2);
       const uint8_t* points = count > 1 ? c.Bytes(c.Arg(1), 8 * uint64_t(count)) : nullptr;
       DrawPolyline(host, c.Arg(0), points, count, c.Arg(3));
     }},
    // 1: hBM, x, y, w, h, fill, frame
    {"DrawRectangle",
     [](Host& host, SysCall& c) {
       DrawRectangle(host, c.Arg(0), c.IntArg(1), c.IntArg(2), c.IntArg(3), c.IntArg(4), c.Arg(5),
                     c.Arg(6));
     }},
    // 2: file name address -> hBM or 0
    {"LoadBitmapFile",
     [](Host& host, SysCall& c) { c.Result(LoadBitmapFile(host, c.String(c.Arg(0)))); }},
    // 3: dst hBM, dx, dy, src hBM, sx, sy, w, h, invert, xLimit, yLimit
    {"Blit",
     [](Host& host, SysCall& c) {
       Blit(host, c.Arg(0), c.IntArg(1), c.IntArg(2), c.Arg(3), c.IntArg(4), c.IntArg(5),
            c.IntArg(6), c.IntArg(7), c.Arg(8) != 0, c.IntArg(9), c.IntArg(10));
     }},
    // 4: hBM
    {"FreeBitmap", [](Host& host, SysCall& c) { FreeBitmap(host, c.Arg(0)); }},
    // 5: hBM, x, y, w, h, key (64), alpha -> pixels changed (64)
    {"SetAlpha",
     [](Host& host, SysCall& c) {
       c.Result64(SetAlpha(host, c.Arg(0), c.IntArg(1), c.IntArg(2), c.IntArg(3), c.IntArg(4),
                           c.Arg64(5), c.Arg(7)));
     }},
    // 6: hBM, x, y -> colour
    {"GetPixel",
     [](Host& host, SysCall& c) { c.Result(GetPixel(host, c.Arg(0), c.IntArg(1), c.IntArg(2))); }},
    // 7: hBM, x, y, colour
    {"SetPixel",
     [](Host& host, SysCall& c) { SetPixel(host, c.Arg(0), c.IntArg(1), c.IntArg(2), c.Arg(3)); }},
    // 8: dst hBM, dx, dy, dw, dh, src hBM, sx, sy, sw, sh, xLimit, yLimit
    {"StretchBlit",
     [](Host& host, SysCall& c) {
       StretchBlit(host, c.Arg(0), c.IntArg(1), c.IntArg(2), c.IntArg(3), c.IntArg(4), c.Arg(5),
                   c.IntArg(6), c.IntArg(7), c.IntArg(8), c.IntArg(9), c.IntArg(10),
                   c.IntArg(11));
     }},
    // 9: hBM, file name address, format (0 BMP, 1 PNG) -> 1 or 0
    {"SaveBitmapFile",
     [](Host& host, SysCall& c) {
       c.Result(SaveBitmapFile(host, c.Arg(0), c.String(c.Arg(1)), c.Arg(2)));
     }},
    // 10: colour -> HSV
    {"RgbToHsv", [](Host&, SysCall& c) { c.Result(RgbToHsv(c.Arg(0))); }},
    // 11: HSV -> colour
    {"HsvToRgb", [](Host&, SysCall& c) { c.Result(HsvToRgb(c.Arg(0))); }},
    // 12: hBM, address of 6 words <- width, height, clipX, clipY, clipW, clipH
    {"GetBitmapInfo",
     [](Host& host, SysCall& c) {
       const uint32_t out = c.Arg(1);
       if (auto info = GetBitmapInfo(host, c.Arg(0))) {
         const uint32_t words[6] = {info->width,  info->height, info->clip_x,
                                    info->clip_y, info->clip_w, info->clip_h};
         uint8_t* p = c.Bytes(out, sizeof words);
         for (int i = 0; i < 6; ++i) vm::St32(p + 4 * i, words[i]);
       }
     }},
    // 13: hBM, x, y, w, h, address for the old clip or 0
    {"SetClip",
     [](Host& host, SysCall& c) {
       const uint32_t old = c.Arg(5);
       uint8_t* old_clip = old != 0 ? c.Bytes(old, 16) : nullptr;
       SetClip(host, c.Arg(0), c.IntArg(1), c.IntArg(2), c.IntArg(3), c.IntArg(4), old_clip);
     }},
    // 14: pattern (64) -> previous pattern (64)
    {"SetLinePattern", [](Host& host, SysCall& c) { c.Result64(SetLinePattern(host, c.Arg64(0))); }},
    // 15: hBM, x, y, w, h, hue, saturation, brightness, contrast
    {"AdjustColours",
     [](Host& host, SysCall& c) {
       AdjustColours(host, c.Arg(0), c.IntArg(1), c.IntArg(2), c.IntArg(3), c.IntArg(4),
                     c.IntArg(5), c.IntArg(6), c.IntArg(7), c.IntArg(8));
     }},
    // 16: hBM, text address, x, y, w, h, flags, background, colour -> width << 16 | bytes used
    {"DrawText",
     [](Host& host, SysCall& c) {
       const std::string_view text = c.String(c.Arg(1));
       c.Result(DrawText(host, c.Arg(0), text, c.IntArg(2), c.IntArg(3), c.IntArg(4),
                         c.IntArg(5), c.Arg(6), c.Arg(7), c.Arg(8)));
     }},
    // 17: hBM, x, y, w, h, hue (low byte)
    {"DrawColourSquare",
     [](Host& host, SysCall& c) {
       DrawColourSquare(host, c.Arg(0), c.IntArg(1), c.IntArg(2), c.IntArg(3), c.IntArg(4),
                        static_cast<uint8_t>(c.Arg(5)));
     }},
    // 18: hBM, x, y, w, h, fill, frame (direct mapping)
    {"DrawEllipse",
     [](Host& host, SysCall& c) {
       DrawEllipse(host, c.Arg(0), c.IntArg(1), c.IntArg(2), c.IntArg(3), c.IntArg(4), c.Arg(5),
                   c.Arg(6));
     }},
    // 19: width, height -> hBM (0 when the size does not fit in 32 bits)
    {"CreateBitmap",
     [](Host& host, SysCall& c) { c.Result(CreateBitmap(host, c.Arg(0), c.Arg(1))); }},
}};

}  // namespace

void GraphicsService(Host& host, services::SysCall& call, uint32_t command) {
  if (command >= kCommands.size()) return services::UnknownCommand(host);
  kCommands[command].run(host, call);
}

}  // namespace orva::graphics
