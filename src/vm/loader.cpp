#include "vm/loader.h"

#include <array>
#include <cstring>

#include "core/file_layer.h"
#include "core/host.h"
#include "heap/heap.h"

namespace orva::vm {
namespace {

constexpr const char* kNotFound = "MAIN.QX file not found";
constexpr const char* kReadError = "Error reading .QX file";
constexpr const char* kBadMagic = "Not a ORVA 6 .QX file";
constexpr const char* kBadVersion = "Mismatched ORVA.EXE and MAIN.QX files";
constexpr const char* kNoMemory = "Error allocating .QX memory";

constexpr uint8_t kHostMajor = kHostVersion >> 8;
constexpr uint8_t kHostMinor = kHostVersion & 0xFF;

// Closes the loader's file on every way out.
class OpenedFile {
 public:
  OpenedFile(Host& host, uint32_t handle) : host_(host), handle_(handle) {}
  ~OpenedFile() { CloseFile(host_, handle_); }
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;
  uint32_t handle() const { return handle_; }

 private:
  Host& host_;
  uint32_t handle_;
};

bool MagicMatches(const uint8_t* header) {
  return std::memcmp(header + kOffMagic, "ORVA", 4) == 0 && Ld16(header + kOffMagic + 4) == 0x0036;
}

// A program may require any version below ours, or exactly ours.
bool VersionAccepted(const uint8_t* header) {
  uint8_t major = header[kOffReqMajor], minor = header[kOffReqMinor];
  return major < kHostMajor || (major == kHostMajor && minor <= kHostMinor);
}

bool Refuse(Host& host, const char* alert) {
  ShowMessageBox(host, alert);
  return false;
}

}  // namespace

std::optional<Layout> ComputeLayout(uint32_t load_size, uint32_t zero_size, uint32_t stack_size,
                                    uint32_t heap_size) {
  if (load_size < kHeaderSize) return std::nullopt;
  uint64_t total = uint64_t{load_size} + zero_size + stack_size + heap_size;
  if (total > UINT32_MAX) return std::nullopt;
  Layout l{load_size, zero_size, stack_size, heap_size, 0, 0, static_cast<uint32_t>(total)};
  l.stklim = load_size + zero_size;
  l.stktop = l.stklim + stack_size;
  return l;
}

bool LoadImage(Host& host) {
  uint32_t handle = OpenFile(host, "MAIN.QX", kModeRead);
  if (handle == kNoFile) return Refuse(host, kNotFound);
  OpenedFile file(host, handle);

  std::array<uint8_t, kHeaderSize> header;
  if (ReadFile(host, handle, header.data(), kHeaderSize) < kHeaderSize)
    return Refuse(host, kReadError);
  if (!MagicMatches(header.data())) return Refuse(host, kBadMagic);
  if (!VersionAccepted(header.data())) return Refuse(host, kBadVersion);

  auto layout = ComputeLayout(Ld32(&header[kOffLOADSIZE]), Ld32(&header[kOffZEROSIZE]),
                              Ld32(&header[kOffSTACKSIZE]), Ld32(&header[kOffHEAPSIZE]));
  if (!layout) return Refuse(host, kNoMemory);
  St32(&header[kOffSTKLIM], layout->stklim);
  St32(&header[kOffSTKTOP], layout->stktop);
  St32(&header[kOffSP], layout->stktop);

  heap::InitHeap(host, layout->stktop, layout->heap_size);
  // The block comes zero-filled from the system: the zero data, the stack and the heap need no
  // clearing of their own.
  if (!host.image_block.Allocate(layout->total)) return Refuse(host, kNoMemory);
  Memory mem = host.image_block.memory();
  std::memcpy(mem.base, header.data(), kHeaderSize);
  uint32_t body = layout->load_size - kHeaderSize;
  if (ReadFile(host, handle, mem.base + kHeaderSize, body) < body) {
    host.image_block.Release();
    return Refuse(host, kReadError);
  }

  mem.SetU16At(kOffHOSTVER, kHostVersion);
  mem.SetU8At(kOffHostInfo197, 0);
  mem.SetU16At(kOffHostInfo198, 19);
  host.mem = mem;

  // Handle 0 belongs to the host, so the program's handles start at 1.
  heap::AllocHeap(host, 4);
  return true;
}

}  // namespace orva::vm
