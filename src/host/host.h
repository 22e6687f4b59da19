// The Host: the one object that owns all state of a running program. Each subsystem keeps its
// state in a plain struct of its own; the procedures (LoadImage, AllocHeap, OpenFile, RunMachine,
// ...) take the Host and reach the state they need through it. Nothing lives in process-wide
// globals, so a test builds a fresh Host, runs it and throws it away.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "audio/audio.h"
#include "graphics/state.h"
#include "heap/heap.h"
#include "host/options.h"
#include "host/shell.h"
#include "platform/platform.h"
#include "services/file_layer.h"
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
  services::Folders folders;

  vm::ImageBlock image_block;  // owns the image's memory
  vm::Memory mem;              // view of it; empty before LoadImage succeeds
  vm::Machine machine;
  heap::Heap heap;
  services::FileTable files;
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
