#include "vm/messages.h"

#include <cstdio>

#include "core/host.h"
#include "core/message_codes.h"
#include "heap/heap.h"
#include "vm/interpreter.h"

namespace orva::vm {

namespace {

constexpr uint32_t kMessageStackReserve = 100;  // bytes above STKLIM a message needs
constexpr uint32_t kMessageFrame = 24;          // p3, p2, p1, code, byte count, return address

}  // namespace

int32_t QXmsg(Host& host, const Message& msg) {
  Machine& vm = host.machine;
  const Memory& mem = host.mem;
  if (vm.in_qx) {
    host.platform.alerts().SystemLog("inQX QXmsg");
    vm.ring.Append(msg);
    return 0;
  }
  if (!mem.loaded()) return 0;
  vm.in_qx = true;
  // Once the exit sequence has begun only the exit message runs; the flag stays set so that
  // everything posted from now on waits.
  if ((vm.exit_state & kExitStarted) && msg.code != kMsgExit) return 0;

  uint32_t sp = mem.SP();
  if (static_cast<uint64_t>(sp) < static_cast<uint64_t>(mem.STKLIM()) + kMessageStackReserve ||
      sp > mem.size)
    Fatal(host, "Out of stack");
  mem.SetU32At(sp - 4, msg.p3);
  mem.SetU32At(sp - 8, msg.p2);
  mem.SetU32At(sp - 12, msg.p1);
  mem.SetU32At(sp - 16, msg.code);
  mem.SetU32At(sp - 20, 16);  // argument byte count
  mem.SetU32At(sp - 24, 0);   // return address: back to the host
  mem.SetSP(sp - kMessageFrame);
  mem.SetPC(kEntryPoint);

  // A stack overflow leaves SP within a few bytes of STKLIM. The run's frames are dead by
  // then, so the exit message gets the stack as it stood before this message was pushed: it
  // runs, and a program that saves its state there does not lose it.
  if (RunMachine(host).kind == StopKind::kStackOverflow) mem.SetSP(sp);

  heap::CompactHeap(host);
  vm.in_qx = false;
  if (vm.exit_state == 0) {
    if (vm.hooks.after_run) vm.hooks.after_run(host);
  } else if (vm.exit_state == kExitFault) {
    vm.exit_state = kExitFault | kExitStarted;
    ExitProgram(host);
  }
  return mem.MSGRESULT();
}

int32_t ForceMsg(Host& host, const Message& msg) {
  if (host.machine.in_qx) {
    char line[64];
    std::snprintf(line, sizeof line, "ForceMsg BAD CALL! cmd=%d", static_cast<int32_t>(msg.code));
    host.platform.alerts().SystemLog(line);
    ShowMessageBox(host, "ForceMsg BAD CALL!");
    host.machine.ring.Append(msg);
    return 0;
  }
  if (host.machine.loaded_count == 0) return 0;
  return QXmsg(host, msg);
}

void PostMsg(Host& host, const Message& msg) {
  Machine& vm = host.machine;
  if (vm.in_qx || (vm.started && vm.paced)) {
    vm.ring.Append(msg);
  } else if (vm.loaded_count != 0) {
    QXmsg(host, msg);
  }
}

void DeliverNextMsg(Host& host) {
  Machine& vm = host.machine;
  if (vm.in_qx || vm.ring.empty()) return;
  Message msg = vm.ring.slots[vm.ring.read];
  vm.ring.read = MessageRing::Step(vm.ring.read);
  QXmsg(host, msg);
}

bool NextKeyMsg(Host& host, bool remove, Message& out) {
  MessageRing& ring = host.machine.ring;
  out.code = 0;
  while (!ring.empty()) {
    const Message& msg = ring.slots[ring.read];
    if (msg.code == kMsgKeyDown || msg.code == kMsgKeyUp) {
      out = msg;
      if (remove) ring.read = MessageRing::Step(ring.read);
      return true;
    }
    if (msg.code != kMsgTick && msg.code != kMsgMouseMove) return false;
    ring.read = MessageRing::Step(ring.read);  // discarded for good
  }
  return false;
}

bool LatestMouseMoveMsg(Host& host, Message& out) {
  MessageRing& ring = host.machine.ring;
  out.code = 0;
  bool found = false;
  while (!ring.empty()) {
    const Message& msg = ring.slots[ring.read];
    if (msg.code == kMsgMouseMove) {
      out = msg;
      found = true;
    } else if (msg.code != kMsgTick) {
      break;
    }
    ring.read = MessageRing::Step(ring.read);
  }
  return found;
}

void ExitProgram(Host& host) {
  ForceMsg(host, {kMsgExit, 0, 0, 0});
  ExitProcess(host, 0);
}

}  // namespace orva::vm
