#include "host/shutdown.h"

#include "audio/audio.h"
#include "core/host.h"
#include "core/message_codes.h"
#include "vm/messages.h"

namespace orva::host {

namespace {

bool EndAllowed(Host& host) { return vm::ForceMsg(host, {kMsgQuit, 0, 0, 0}) != 0; }

}  // namespace

void AskToClose(Host& host) {
  if (EndAllowed(host) && EndAllowed(host)) EndProgram(host);
}

void AskToQuit(Host& host) {
  if (EndAllowed(host)) EndProgram(host);
}

void EndProgram(Host& host) {
  audio::StopMusic(host);
  ExitProcess(host, 0);
}

}  // namespace orva::host
