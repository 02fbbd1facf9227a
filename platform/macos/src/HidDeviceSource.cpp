#include <cstdlib>
#include <mutex>

#include "moncontrol/hid/linux/SimulatorClient.h"
#include "platform/macos/HidDeviceSource.h"
#include "platform/macos/internal/DeviceSource.h"

namespace macstandin {
namespace {

std::mutex g_mutex;
std::shared_ptr<mchid::HidBackend> g_installed;

}  // namespace

void SetHidDeviceSource(std::shared_ptr<mchid::HidBackend> source) {
  std::lock_guard lock(g_mutex);
  g_installed = std::move(source);
}

std::shared_ptr<mchid::HidBackend> CurrentHidDeviceSource() {
  {
    std::lock_guard lock(g_mutex);
    if (g_installed) return g_installed;
  }
  const char* socket = std::getenv(mchid::kSimulatorSocketVariable);
  if (socket == nullptr || *socket == '\0') return nullptr;
  return mchid::MakeSimulatorClientBackend(socket);
}

}  // namespace macstandin
