// The decode cache: instructions decoded once, on first use, into entries that the pre-decoded
// loop (vm/fast_loop.cpp) runs without looking at the instruction words again.
//
// Entries live in pages, one entry per word of code, allocated when the program first runs code
// in the page. An entry holds its handler, its operands resolved ahead (register slots,
// displacements, absolute addresses checked once, immediates) and, for a branch, the entry of
// its target when that lies on the same page. Entries never reach past their page: an
// instruction that would is left to the reference loop, and a fall-through or a branch into
// another page goes through a "far" entry that looks its address up, so that every entry into
// a page passes through Lookup().
//
// Code that changes must run as written. Two mechanisms keep entries true to their words:
//   - Stores made by the pre-decoded loop itself pass a barrier: one compare against the span of
//     decoded code, and only inside it a look at the page's map of decoded words. A store into
//     decoded words resets the entries that read them (CodeWritten).
//   - Everything else that may write the image (services behind SYS, the reference loop's
//     single steps, the host between runs: heap compaction, message frames, file reads) is
//     outside the loop. Each time control comes back from outside, the epoch advances, and a
//     page is compared with the copy of its decoded words (its shadow) on the first Lookup() in
//     the new epoch; words that differ reset their entries. No writer has to remember anything.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include "vm/handlers.h"
#include "vm/trace.h"

namespace orva {
struct Host;
}

namespace orva::vm::fast {

#if defined(__GNUC__) && !defined(ORVA_FORCE_SWITCH)
using HandlerRef = const void*;  // a label of the loop
#else
using HandlerRef = uintptr_t;  // a case of the loop's switch
#endif

struct Entry {
  HandlerRef h;
  uint32_t pc;   // the instruction's address
  uint8_t len;   // words this entry runs and read to decode: the next entry is this + len
  uint8_t dreg;  // register of an [R(r) + disp] destination; the slot of a tested register
  uint8_t sreg;  // register of an [R(r) + disp] source; the operand kinds of generic handlers
  uint8_t cond;  // branches: bit f set when the branch is taken with FLAGS bits 0-2 equal to f
  uint32_t a;    // destination: register slot offset, address or displacement
  uint32_t b;    // source: the same, or a 32-bit immediate; the operation of generic handlers
  union {
    uint64_t imm;   // a 64-bit immediate, or a value to push
    Entry* target;  // a branch's target
  };
};
static_assert(sizeof(Entry) == 32);

inline constexpr uint32_t kPageBits = 12;
inline constexpr uint32_t kPageBytes = 1u << kPageBits;
inline constexpr uint32_t kPageWords = kPageBytes / 4;
// Far entries after the page's last word: where instructions near the end fall through to.
inline constexpr uint32_t kTailEntries = 8;
// Decoding never covers the header, so stores into registers and IMMSLOT never hit code.
inline constexpr uint32_t kFirstCode = 512;

struct Page {
  uint64_t epoch = 0;                   // the epoch in which it was last compared with memory
  uint32_t base = 0;                    // address of its first word
  uint32_t lo = kPageBytes, hi = 0;     // decoded words lie in [base + lo, base + hi)
  uint64_t decoded[kPageWords / 64]{};  // words an entry read when it was decoded
  uint32_t shadow[kPageWords]{};        // those words as they were then
  Entry entries[kPageWords + kTailEntries];
};

struct DecodeCache {
  DecodeCache(uint8_t* base, uint32_t size);
  DecodeCache(const DecodeCache&) = delete;
  DecodeCache& operator=(const DecodeCache&) = delete;

  uint8_t* const base;  // the image it serves
  const uint32_t size;
  // Lookup() serves the addresses a with a - kFirstCode below code_limit: from kFirstCode to
  // where the longest instruction still fits.
  const uint32_t code_limit;

  uint64_t epoch = 1;
  // Stores of up to 8 bytes at addresses in [watch_lo, watch_lo + watch_span) may hit decoded
  // words; all other stores cannot.
  uint32_t watch_lo = 0, watch_span = 0;

  std::unique_ptr<Page*[]> dir;  // by address >> kPageBits; null until code there runs
  std::vector<std::unique_ptr<Page>> pages;
  std::deque<Entry> far;  // far entries of branch targets on other pages, by address
  std::unordered_map<uint32_t, Entry*> far_by_pc;

  const HandlerRef* handlers = nullptr;  // the loop's labels by handler number (threaded build)
  Tracer stepper{nullptr, 0, 0};         // runs single instructions in the reference loop

  HandlerRef Ref(uint16_t handler) const {
#if defined(__GNUC__) && !defined(ORVA_FORCE_SWITCH)
    return handlers[handler];
#else
    return handler;
#endif
  }

  // The page of `pc`, allocated and compared with memory in the current epoch.
  Page& Prepare(uint32_t pc);
  // An entry that continues at `pc` through Lookup(): for targets on other pages.
  Entry* Far(uint32_t pc);
  // Resets every entry that read a word of [lo, hi) and notes the new words; true when one was
  // reset. Called after the bytes have been written.
  bool CodeWritten(uint32_t lo, uint64_t hi);

  // Records that `e` read the words [e->pc, e->pc + 4 * e->len) and widens the watched span.
  void NoteDecoded(Page& page, const Entry& e);

 private:
  void Verify(Page& page);
  // Resets the entries of `page` that read the word at offset `off`; true when one was reset.
  bool ResetCovering(Page& page, uint32_t off);
};

// The entry of `pc`, or null when the pre-decoded loop cannot run code there (below the code,
// not a multiple of 4, too near the end of the image): the reference loop runs it.
inline Entry* Lookup(DecodeCache& dc, uint32_t pc) {
  if (pc - kFirstCode >= dc.code_limit || (pc & 3) != 0) [[unlikely]]
    return nullptr;
  Page* page = dc.dir[pc >> kPageBits];
  if (!page || page->epoch != dc.epoch) [[unlikely]]
    page = &dc.Prepare(pc);
  return &page->entries[(pc & (kPageBytes - 1)) >> 2];
}

// The page an entry belongs to.
inline Page& PageOf(DecodeCache& dc, const Entry& e) { return *dc.dir[e.pc >> kPageBits]; }

}  // namespace orva::vm::fast
