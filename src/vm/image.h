// The program image: one contiguous block that holds the header (which doubles as the machine's
// register file), code, initialised data, zero-filled data, stack and handle heap.
//
// Every machine address is an unsigned 32-bit offset into the image. The host never touches image
// memory through a raw offset: it goes through `Memory`, whose checked accessors are the one place
// that enforces "nothing outside the image is touched".
//
// Header layout (all little-endian; 32-bit fields use the low four bytes of their 8-byte slot):
//
//   offset  slot  width  field
//   ------  ----  -----  -------------------------------------------------------------
//     0      -     8     unused by the host
//     8+8n  0-15   8     R0..R15 (R14: service result, R15: call block / debug string)
//   136     16    u32    PC          address of the instruction being executed
//   144     17    u32    STKTOP      one past the highest stack byte
//   152     18    u32    STKLIM      lowest stack byte
//   160     19    u32    SP          stack pointer
//   168     20    u32    FP          frame pointer
//   176     21    u32    MODALCHAIN  newest saved modal context
//   184     22    u32    MCOUNT      element count of the block move
//   192     23    u8     FLAGS       bit 0 odd, bit 1 zero, bit 2 negative
//   193     23    i8     MSGRESULT   the program's answer to the current message
//   195     23    u16    HOSTVER     0x0600, set by the loader
//   197     23    u8     0, set by the loader
//   198     23    u16    19, set by the loader
//   208     25    6      magic "ORVA6\0"
//   218     26    u8     required host major version
//   219     26    u8     required host minor version
//   224     27    u32    LOADSIZE    bytes of the file loaded, header included
//   232     28    u32    ZEROSIZE    zero-filled data after the loaded part
//   240     29    u32    STACKSIZE
//   248     30    u32    HEAPSIZE
//   256     31    8      IMMSLOT     where the interpreter parks immediate operands
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace orva::vm {

inline constexpr uint32_t kHeaderSize = 512;
inline constexpr uint32_t kEntryPoint = 512;

constexpr uint32_t RegOffset(uint32_t n) { return 8 + 8 * n; }

inline constexpr uint32_t kOffR14 = RegOffset(14);
inline constexpr uint32_t kOffR15 = RegOffset(15);
inline constexpr uint32_t kOffPC = 136;
inline constexpr uint32_t kOffSTKTOP = 144;
inline constexpr uint32_t kOffSTKLIM = 152;
inline constexpr uint32_t kOffSP = 160;
inline constexpr uint32_t kOffFP = 168;
inline constexpr uint32_t kOffMODALCHAIN = 176;
inline constexpr uint32_t kOffMCOUNT = 184;
inline constexpr uint32_t kOffFLAGS = 192;
inline constexpr uint32_t kOffMSGRESULT = 193;
inline constexpr uint32_t kOffHOSTVER = 195;
inline constexpr uint32_t kOffHostInfo197 = 197;
inline constexpr uint32_t kOffHostInfo198 = 198;
inline constexpr uint32_t kOffMagic = 208;
inline constexpr uint32_t kOffReqMajor = 218;
inline constexpr uint32_t kOffReqMinor = 219;
inline constexpr uint32_t kOffLOADSIZE = 224;
inline constexpr uint32_t kOffZEROSIZE = 232;
inline constexpr uint32_t kOffSTACKSIZE = 240;
inline constexpr uint32_t kOffHEAPSIZE = 248;
inline constexpr uint32_t kOffIMMSLOT = 256;

// Addresses from kPlainStart up to the end of the image are ordinary memory. Below it lie the
// registers and the header fields that the loops hold in locals (PC, SP, FP and FLAGS, offsets
// 136-192), whose header copies they write only when someone may look.
inline constexpr uint32_t kPlainStart = 200;
inline constexpr uint32_t kWidest = 8;  // no operation reaches more than 8 bytes of an operand

static_assert(RegOffset(16) == kOffPC && RegOffset(19) == kOffSP && RegOffset(31) == kOffIMMSLOT,
              "state fields continue the register grid");

inline constexpr uint16_t kHostVersion = 0x0600;  // 6.0, major in the high byte

// Little-endian loads and stores on raw bytes. The host is little-endian x86-64/arm64; memcpy
// keeps them free of alignment and aliasing trouble and compiles to one move.
// clang-format off
inline uint8_t Ld8(const uint8_t* p) { return *p; }
inline uint16_t Ld16(const uint8_t* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
inline uint32_t Ld32(const uint8_t* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
inline uint64_t Ld64(const uint8_t* p) { uint64_t v; std::memcpy(&v, p, 8); return v; }
inline void St8(uint8_t* p, uint8_t v) { *p = v; }
inline void St16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
inline void St32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void St64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }
// clang-format on

// A view of the image. `base` is null before the loader has run. All offsets are image addresses.
//
// The checked accessors (`Fits`, `Ptr`, `CString`, `Read32`...) are what host services use on
// addresses that come from the program. The unchecked `*At` accessors are for offsets that the
// host itself has proven to lie inside the image (the header, a range already checked).
struct Memory {
  uint8_t* base = nullptr;
  uint32_t size = 0;

  bool loaded() const { return base != nullptr; }

  // True when [addr, addr + len) lies inside the image.
  bool Fits(uint32_t addr, uint64_t len) const { return addr <= size && len <= size - addr; }

  // Host pointer to [addr, addr + len), or null when the range leaves the image.
  uint8_t* Ptr(uint32_t addr, uint64_t len) const {
    return Fits(addr, len) ? base + addr : nullptr;
  }

  // The NUL-terminated string at addr, without its NUL; nullopt when no NUL is found inside the
  // image.
  std::optional<std::string_view> CString(uint32_t addr) const {
    if (addr >= size) return std::nullopt;
    const void* nul = std::memchr(base + addr, 0, size - addr);
    if (!nul) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(base + addr),
                            static_cast<const uint8_t*>(nul) - (base + addr));
  }

  std::optional<uint32_t> Read32(uint32_t addr) const {
    if (!Fits(addr, 4)) return std::nullopt;
    return Ld32(base + addr);
  }
  bool Write32(uint32_t addr, uint32_t v) const {
    if (!Fits(addr, 4)) return false;
    St32(base + addr, v);
    return true;
  }

  // Unchecked: the caller has proven the range.
  uint8_t U8At(uint32_t a) const { return base[a]; }
  uint16_t U16At(uint32_t a) const { return Ld16(base + a); }
  uint32_t U32At(uint32_t a) const { return Ld32(base + a); }
  uint64_t U64At(uint32_t a) const { return Ld64(base + a); }
  void SetU8At(uint32_t a, uint8_t v) const { base[a] = v; }
  void SetU16At(uint32_t a, uint16_t v) const { St16(base + a, v); }
  void SetU32At(uint32_t a, uint32_t v) const { St32(base + a, v); }
  void SetU64At(uint32_t a, uint64_t v) const { St64(base + a, v); }

  // Named header fields. The header always lies inside a loaded image (the loader refuses
  // anything smaller than the header).
  uint64_t R(uint32_t n) const { return U64At(RegOffset(n)); }
  void SetR(uint32_t n, uint64_t v) const { SetU64At(RegOffset(n), v); }
  uint32_t R32(uint32_t n) const { return U32At(RegOffset(n)); }
  // Writes the low four bytes of register n and keeps the upper four (a 32-bit service result).
  void SetR32(uint32_t n, uint32_t v) const { SetU32At(RegOffset(n), v); }

  uint32_t PC() const { return U32At(kOffPC); }
  uint32_t STKTOP() const { return U32At(kOffSTKTOP); }
  uint32_t STKLIM() const { return U32At(kOffSTKLIM); }
  uint32_t SP() const { return U32At(kOffSP); }
  uint32_t FP() const { return U32At(kOffFP); }
  uint32_t MODALCHAIN() const { return U32At(kOffMODALCHAIN); }
  uint32_t MCOUNT() const { return U32At(kOffMCOUNT); }
  uint8_t FLAGS() const { return U8At(kOffFLAGS); }
  int8_t MSGRESULT() const { return static_cast<int8_t>(U8At(kOffMSGRESULT)); }
  uint32_t LOADSIZE() const { return U32At(kOffLOADSIZE); }
  uint32_t ZEROSIZE() const { return U32At(kOffZEROSIZE); }
  uint32_t STACKSIZE() const { return U32At(kOffSTACKSIZE); }
  uint32_t HEAPSIZE() const { return U32At(kOffHEAPSIZE); }

  void SetPC(uint32_t v) const { SetU32At(kOffPC, v); }
  void SetSP(uint32_t v) const { SetU32At(kOffSP, v); }
  void SetFP(uint32_t v) const { SetU32At(kOffFP, v); }
  void SetMODALCHAIN(uint32_t v) const { SetU32At(kOffMODALCHAIN, v); }
  void SetFLAGS(uint8_t v) const { SetU8At(kOffFLAGS, v); }
};

}  // namespace orva::vm
