// The Host: the one object that owns all state of a running program. Each subsystem keeps its
// state in a plain struct of its own; the procedures (LoadImage, AllocHeap, OpenFile, RunMachine,
// ...) take the Host and reach the state they need through it. Nothing lives in process-wide
// globals, so a test builds a fresh Host, runs it and throws it away.
//
// core/ is the ground floor that every layer may include: the Host, the alerts and fatal ends
// below, the file layer and the debug log, the message codes. To own every subsystem's state the
// Host includes their state headers (x/state.h and the like); those hold plain data and include
// nothing above core/, so the arrows between the layers' procedures still point down only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "audio/state.h"
#include "core/file_layer.h"
#include "graphics/state.h"
#include "heap/heap.h"
#include "host/options.h"
#include "host/state.h"
#include "platform/platform.h"
#include "services/state.h"
#include "vm/image.h"
#include "vm/image_block.h"
#include "vm/machine.h"

namespace orva {

struct Host {
  explicit Host(platform::Platform& p) : platform(p) {}
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  platform::Platform& platform;
  host::Options options;
  Folders folders;

  vm::ImageBlock image_block;  // owns the image's memory
  vm::Memory mem;              // view of it; empty before LoadImage succeeds
  vm::Machine machine;
  heap::Heap heap;
  FileTable files;
  services::ServiceState services;
  graphics::GraphicsState gfx;
  audio::AudioState audio;
  host::Shell shell;

  std::string last_alert;  // the text of the latest ShowMessageBox, as the program gave it
};

// Shows at most the first 1023 bytes of `text` (up to its first NUL), read as Mac OS Roman, in a
// modal warning alert with the one button "Sigh". Never ends the process itself.
void ShowMessageBox(Host&, std::string_view text);

// A fatal host condition: the alert, then the end of the process with status 1.
[[noreturn]] void Fatal(Host&, std::string_view text);

// Ends the process with `status` through the platform layer.
[[noreturn]] void ExitProcess(Host&, int status);

}  // namespace orva
