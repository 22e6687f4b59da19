// Writing a file so that its previous contents survive any failure: the new bytes go to a
// temporary file in the same folder, are flushed to the disk, and only then renamed over the old
// file. A crash or a full disk mid-save leaves either the old file or the new one, never a
// truncated mix.
#pragma once

#include <string>
#include <string_view>

namespace orva::services {

// Replaces (or creates) the file at `path` with `bytes`; creates missing folders on the way like
// an open for writing would. A file that already exists keeps its permission bits. False when
// anything failed; the old file is then untouched and no temporary file is left behind.
bool ReplaceFile(const std::string& path, std::string_view bytes);

}  // namespace orva::services
