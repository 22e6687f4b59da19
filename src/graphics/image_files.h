// Picture files of the program: BMP and PNG loaded into new heap bitmaps, and any bitmap saved
// as either. Names go through the host file layer like every other name of the program (read:
// user data folder, then resources; write: user data folder). Failures are only results: 0, no
// bitmap left behind, nothing logged or shown.
//
// Byte orders, which programs and stored pictures rely on: PNG loading puts red, green, blue,
// alpha in p0 to p3 and PNG saving writes p2, p1, p0, p3 as red, green, blue, alpha; BMP loading
// and saving move the file's bytes position for position. A picture saved in one format and
// loaded in the other therefore comes back with p0 and p2 exchanged.
#pragma once

#include <cstdint>
#include <string_view>

namespace orva {
struct Host;
}

namespace orva::graphics {

// A new heap bitmap holding the picture, or 0. LoadBitmapFile picks the reader by the file's
// first bytes, not by its name. A picture whose pixels the heap cannot hold is refused before
// anything is allocated, rather than ending the program through heap exhaustion.
uint32_t LoadBitmapFile(Host&, std::string_view name);
uint32_t LoadBmp(Host&, std::string_view name);
uint32_t LoadPng(Host&, std::string_view name);

// 1 when the whole file was written, else 0. Format 0 is BMP, 1 PNG; any other format writes
// nothing. The file is created or truncated in the user data folder.
uint32_t SaveBitmapFile(Host&, uint32_t hbm, std::string_view name, uint32_t format);
// A 32-bit BMP: a 54-byte header, then the rows bottom row first, width * 4 bytes each.
uint32_t SaveBmp(Host&, uint32_t hbm, std::string_view name);
// A truecolour-with-alpha PNG, built in memory and written with one write.
uint32_t SavePng(Host&, uint32_t hbm, std::string_view name);

}  // namespace orva::graphics
