#include "vm/decode_cache.h"

#include <algorithm>
#include <cstring>

#include "vm/image.h"

namespace orva::vm::fast {

namespace {

constexpr uint32_t kLongest = 16;  // bytes of the longest instruction
// An entry reads at most a four-word instruction and the branch fused to it.
constexpr uint32_t kMaxEntryWords = 5;

void SetDecodeStub(DecodeCache& dc, Entry& e, uint32_t pc) {
  e = Entry{};
  e.h = dc.Ref(kHDecode);
  e.pc = pc;
}

bool Bit(const Page& p, uint32_t word) { return (p.decoded[word / 64] >> (word % 64)) & 1; }

}  // namespace

DecodeCache::DecodeCache(uint8_t* image, uint32_t image_size)
    : base(image),
      size(image_size),
      code_limit(image_size >= kFirstCode + kLongest ? image_size - kFirstCode - kLongest + 1 : 0),
      dir(new Page*[(static_cast<uint64_t>(image_size) >> kPageBits) + 1]()) {}

Page& DecodeCache::Prepare(uint32_t pc) {
  Page*& slot = dir[pc >> kPageBits];
  if (!slot) {
    pages.push_back(std::make_unique<Page>());
    Page& p = *pages.back();
    p.base = pc & ~(kPageBytes - 1);
    for (uint32_t i = 0; i < kPageWords; ++i) SetDecodeStub(*this, p.entries[i], p.base + 4 * i);
    for (uint32_t i = kPageWords; i < kPageWords + kTailEntries; ++i) {
      Entry& e = p.entries[i];
      e = Entry{};
      e.h = Ref(kHFar);
      e.pc = p.base + 4 * i;
    }
    p.epoch = epoch;
    slot = &p;
  } else if (slot->epoch != epoch) {
    Verify(*slot);
  }
  return *slot;
}

Entry* DecodeCache::Far(uint32_t pc) {
  auto [it, added] = far_by_pc.try_emplace(pc, nullptr);
  if (added) {
    Entry& e = far.emplace_back();
    e.h = Ref(kHFar);
    e.pc = pc;
    it->second = &e;
  }
  return it->second;
}

void DecodeCache::NoteDecoded(Page& page, const Entry& e) {
  uint32_t off = e.pc - page.base;
  for (uint32_t k = 0; k < e.len; ++k) {
    uint32_t word = off / 4 + k;
    page.decoded[word / 64] |= uint64_t{1} << (word % 64);
    page.shadow[word] = Ld32(base + e.pc + 4 * k);
  }
  page.lo = std::min(page.lo, off);
  page.hi = std::max(page.hi, off + 4 * e.len);
  // The watched span runs from kWidest - 1 bytes before the lowest decoded word (a store that
  // starts there reaches it) to the end of the highest.
  uint32_t lo = e.pc - (kWidest - 1), hi = e.pc + 4 * e.len;
  if (watch_span == 0) {
    watch_lo = lo;
    watch_span = hi - lo;
  } else {
    uint32_t old_hi = watch_lo + watch_span;
    watch_lo = std::min(watch_lo, lo);
    watch_span = std::max(old_hi, hi) - watch_lo;
  }
}

bool DecodeCache::ResetCovering(Page& page, uint32_t off) {
  bool reset = false;
  uint32_t word = off / 4;
  uint32_t first = word >= kMaxEntryWords - 1 ? word - (kMaxEntryWords - 1) : 0;
  for (uint32_t w = first; w <= word; ++w) {
    Entry& e = page.entries[w];
    if (e.len > word - w) {
      SetDecodeStub(*this, e, page.base + 4 * w);
      reset = true;
    }
  }
  page.decoded[word / 64] &= ~(uint64_t{1} << (word % 64));  // no entry reads it any more
  return reset;
}

bool DecodeCache::CodeWritten(uint32_t lo, uint64_t hi) {
  hi = std::min<uint64_t>(hi, size);
  bool reset = false;
  for (uint64_t a = lo & ~3u; a < hi; a += 4) {
    Page* page = dir[a >> kPageBits];
    if (!page) {
      a = (a | (kPageBytes - 1)) - 3;  // on to the next page
      continue;
    }
    uint32_t off = static_cast<uint32_t>(a) - page->base;
    if (Bit(*page, off / 4)) reset |= ResetCovering(*page, off);
    // Words no entry read are copied too, so that comparing the page stays quick.
    page->shadow[off / 4] = Ld32(base + a);
  }
  return reset;
}

void DecodeCache::Verify(Page& page) {
  constexpr uint32_t kLine = 64;
  for (uint32_t off = page.lo & ~(kLine - 1); off < page.hi; off += kLine) {
    const uint8_t* now = base + page.base + off;
    const uint8_t* then = reinterpret_cast<const uint8_t*>(&page.shadow[off / 4]);
    uint32_t n = std::min(kLine, page.hi - off);
    if (std::memcmp(now, then, n) == 0) continue;
    for (uint32_t k = 0; k < n; k += 4) {
      uint32_t word = (off + k) / 4;
      uint32_t value = Ld32(now + k);
      if (value == page.shadow[word]) continue;
      if (Bit(page, word)) ResetCovering(page, off + k);
      page.shadow[word] = value;
    }
  }
  page.epoch = epoch;
}

}  // namespace orva::vm::fast
