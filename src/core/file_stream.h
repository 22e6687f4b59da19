// A stdio-like stream over the host file layer, for decoders that pull their input through
// callbacks (PNG loading). A stream is the file handle plus one, so 0 can mean "no stream"; every
// operation forwards to the file layer with the handle minus one.
#pragma once

#include <cstdint>
#include <string_view>

namespace orva {

struct Host;

// Opens `name` with the mode that the string stands for: "rb" reads (user data folder, then
// resources), "wb" creates or truncates, "w+b" opens an existing file for update; anything else
// opens an existing file for reading in the user data folder. 0 when the open fails.
uint32_t StreamOpen(Host&, std::string_view name, std::string_view mode);
// Whole elements read or written, as fread and fwrite count them.
uint64_t StreamRead(Host&, void* buffer, uint64_t size, uint64_t count, uint32_t stream);
uint64_t StreamWrite(Host&, const void* buffer, uint64_t size, uint64_t count, uint32_t stream);
// The new position, or 0xFFFFFFFF; origin 0 start, 1 current position, 2 end.
uint32_t StreamSeek(Host&, uint32_t stream, uint32_t offset, uint32_t origin);
uint32_t StreamTell(Host&, uint32_t stream);
// 1 once a read has run into the end, 0 before, 0xFFFFFFFF for no stream.
uint32_t StreamEof(Host&, uint32_t stream);
void StreamClose(Host&, uint32_t stream);
void StreamDelete(Host&, std::string_view name);

}  // namespace orva
