// Group 0: the host file layer's operations on names and buffers in the image, the file finder,
// and a base64 writer.
//
// Names are strings in the image; buffers are image ranges of the given count. A name or range
// that leaves the image fails the command with the machine's bad-address fault before any file is
// touched. Everything else that goes wrong is an answer (0xFFFFFFFF, or 0 bytes).
//
//   cmd  arguments                            operation                 R14
//   ---  -----------------------------------  ------------------------  -----------------------
//    0   name, mode                           OpenFile                  handle or 0xFFFFFFFF
//    1   handle                               FileEof                   1, 0 or 0xFFFFFFFF
//    2   handle, buffer, count                ReadFile                  bytes read
//    3   handle, buffer, count                WriteFile                 bytes written
//    4   handle, offset, origin               SeekFile                  position or 0xFFFFFFFF
//    5   name                                 DeleteFile                -
//    6   name                                 MakeDir                   0 or 0xFFFFFFFF
//    7   name                                 RemoveDir                 -
//    8   handle                               CloseFile                 -
//    9   name                                 FileInfo: size            size or 0xFFFFFFFF
//   10   name                                 FileInfo: modified        all 64 bits: seconds
//                                                                       since 1970, 0 if absent
//   11   pattern, name dest, kind@, origin@   find first                0 or 0xFFFFFFFF
//   12   name dest, kind@, origin@            find next                 0 or 0xFFFFFFFF
//   13   -                                    find close                -
//   14   handle, buffer, count                write as base64           characters written
//   15   old name, new name                   MoveFile                  -
// The kind (16 folder, 0 other) and origin (1 user data, 0 resources) of a found entry are
// stored as u32 at their addresses when these are not 0.
#include <cstring>

#include "core/file_layer.h"
#include "services/base64.h"
#include "services/file_finder.h"
#include "services/syscall.h"

namespace orva::services {
namespace {

constexpr uint32_t kNotFound = 0xFFFFFFFF;

enum : uint32_t {
  kOpen = 0,
  kEof = 1,
  kRead = 2,
  kWrite = 3,
  kSeek = 4,
  kDelete = 5,
  kMakeDir = 6,
  kRemoveDir = 7,
  kClose = 8,
  kSize = 9,
  kModified = 10,
  kFindFirst = 11,
  kFindNext = 12,
  kFindClose = 13,
  kWriteBase64 = 14,
  kMove = 15,
};

// Hands an entry to the program: its name at `dest`, its kind and origin where asked.
uint32_t HandOut(const SysCall& call, const FoundEntry* entry, uint32_t dest, uint32_t kind_at,
                 uint32_t origin_at) {
  if (!entry) return kNotFound;
  uint8_t* name = call.Bytes(dest, entry->name.size() + 1);
  std::memcpy(name, entry->name.c_str(), entry->name.size() + 1);
  if (kind_at) call.Store32(kind_at, entry->kind);
  if (origin_at) call.Store32(origin_at, entry->origin);
  return 0;
}

// One write per group of three bytes, then the padding one "=" at a time; the answer is the sum
// of what the writes reported.
uint32_t WriteBase64(Host& host, uint32_t handle, const uint8_t* data, size_t count) {
  uint32_t written = 0;
  size_t last = 4;
  for (size_t i = 0; i < count; i += 3) {
    char group[4];
    last = EncodeBase64Group(data + i, std::min<size_t>(3, count - i), group);
    written += WriteFile(host, handle, reinterpret_cast<const uint8_t*>(group),
                         static_cast<uint32_t>(last));
  }
  static constexpr uint8_t kPad = '=';
  for (; last < 4; ++last) written += WriteFile(host, handle, &kPad, 1);
  return written;
}

}  // namespace

void FileService(Host& host, SysCall& call, uint32_t command) {
  switch (command) {
    case kOpen: call.Result(OpenFile(host, call.String(call.Arg(0)), call.Arg(1))); return;
    case kEof: call.Result(FileEof(host, call.Arg(0))); return;
    case kRead: {
      uint32_t count = call.Arg(2);
      call.Result(ReadFile(host, call.Arg(0), call.Bytes(call.Arg(1), count), count));
      return;
    }
    case kWrite: {
      uint32_t count = call.Arg(2);
      call.Result(WriteFile(host, call.Arg(0), call.Bytes(call.Arg(1), count), count));
      return;
    }
    case kSeek: call.Result(SeekFile(host, call.Arg(0), call.Arg(1), call.Arg(2))); return;
    case kDelete: DeleteFile(host, call.String(call.Arg(0))); return;
    case kMakeDir: call.Result(MakeDir(host, call.String(call.Arg(0)))); return;
    case kRemoveDir: RemoveDir(host, call.String(call.Arg(0))); return;
    case kClose: CloseFile(host, call.Arg(0)); return;
    case kSize: {
      uint32_t mtime, kind;
      call.Result(FileInfo(host, call.String(call.Arg(0)), &mtime, &kind));
      return;
    }
    case kModified: {
      uint32_t mtime = 0, kind;
      FileInfo(host, call.String(call.Arg(0)), &mtime, &kind);
      call.Result64(mtime);
      return;
    }
    case kFindFirst: {
      std::string_view pattern = call.String(call.Arg(0));
      uint32_t dest = call.Arg(1), kind_at = call.Arg(2), origin_at = call.Arg(3);
      call.Result(HandOut(call, FindFirst(host, pattern), dest, kind_at, origin_at));
      return;
    }
    case kFindNext: {
      uint32_t dest = call.Arg(0), kind_at = call.Arg(1), origin_at = call.Arg(2);
      call.Result(HandOut(call, FindNext(host), dest, kind_at, origin_at));
      return;
    }
    case kFindClose: FindClose(host); return;
    case kWriteBase64: {
      int32_t count = call.IntArg(2);
      const uint8_t* data = count > 0 ? call.Bytes(call.Arg(1), count) : nullptr;
      call.Result(count > 0 ? WriteBase64(host, call.Arg(0), data, count) : 0);
      return;
    }
    case kMove: MoveFile(host, call.String(call.Arg(0)), call.String(call.Arg(1))); return;
    default: UnknownCommand(host); return;
  }
}

}  // namespace orva::services
