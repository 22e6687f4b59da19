// The pending-message ring: messages that wait while the machine is busy or while the program
// runs its own timer. 1024 slots, one always empty, so at most 1023 messages wait; a message
// posted to a full ring is lost and the pending ones stay as they are.
#pragma once

#include <array>
#include <cstdint>

namespace orva::vm {

// code, p1, p2, p3: the four u32 values the program receives as its entry routine's arguments.
struct Message {
  uint32_t code = 0, p1 = 0, p2 = 0, p3 = 0;
  friend bool operator==(const Message&, const Message&) = default;
};

inline constexpr int32_t kRingSlots = 1024;

struct MessageRing {
  std::array<Message, kRingSlots> slots{};
  int32_t write = 0;  // next slot to fill
  int32_t read = 0;   // oldest pending message; equal to `write` when empty

  bool empty() const { return read == write; }
  int32_t pending() const { return (write - read + kRingSlots) % kRingSlots; }

  // Appends at the write index. When the ring was full the index steps back again, so the
  // message is dropped and nothing pending is disturbed.
  void Append(const Message& msg) {
    slots[write] = msg;
    write = Step(write);
    if (write == read) write = (write + kRingSlots - 1) % kRingSlots;
  }

  static int32_t Step(int32_t index) { return (index + 1) % kRingSlots; }
};

}  // namespace orva::vm
