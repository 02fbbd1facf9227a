#include <cstdlib>

#include "foundation/log/Log.h"
#include "moncontrol/hid/HidDevice.h"
#include "moncontrol/hid/linux/HidrawBackend.h"
#include "moncontrol/hid/linux/SimulatorClient.h"

namespace mchid {

std::shared_ptr<HidBackend> DefaultHidBackend() {
  const char* socketPath = std::getenv(kSimulatorSocketVariable);
  if (socketPath != nullptr && *socketPath != '\0') {
    LogInfo(L"HID devices come from the monitor simulator at %hs", socketPath);
    return MakeSimulatorClientBackend(socketPath);
  }
  return MakeHidrawBackend();
}

}  // namespace mchid
