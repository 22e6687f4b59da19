#include "services/file_layer.h"

#include "host/host.h"

namespace orva::services {

void CloseAllFiles(Host& host) {
  for (std::FILE*& f : host.files.slots) {
    if (f) std::fclose(f);
    f = nullptr;
  }
  host.files.count = 0;
}

}  // namespace orva::services
