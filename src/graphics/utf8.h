// UTF-8 as text drawing reads it: strict decoding into code points, and the byte count of the
// first characters of a line, which tells the program where the next line begins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orva::graphics {

// Decodes well-formed UTF-8 into code points, at most `max_chars` of them (the bytes after
// those are not read). False (and `out` emptied) for anything else: a stray or missing
// continuation byte, an overlong form, a surrogate, a value above U+10FFFF.
bool DecodeUtf8(std::string_view text, std::u32string& out, size_t max_chars = SIZE_MAX);

// How many bytes the first `chars` characters of `text` take, walking the bytes: a byte below
// 0x80 counts 1; a lead byte 110xxxxx counts 2, 1110xxxx 3, 11110xxx 4, each only as far as
// its continuation bytes (10xxxxxx) go, the next character starting after them; a 0 byte ends
// the walk, and any other byte (a stray continuation byte, 0xF8 to 0xFF) stops the count where
// it is. Never reads past `text`.
size_t Utf8ByteCount(std::string_view text, size_t chars);

}  // namespace orva::graphics
