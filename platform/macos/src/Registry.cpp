#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/macos/internal/DeviceSource.h"
#include "platform/macos/internal/IOObjects.h"
#include "platform/macos/internal/Registry.h"

namespace macstandin {
namespace {

constexpr std::string_view kHidDevicesPath = "IOService:/Tarvik/";

struct Entry {
  long references;
  mchid::HidCollection collection;
};

std::mutex g_mutex;
std::map<io_object_t, Entry> g_entries;

}  // namespace

io_object_t NewObjectPort() {
  static std::atomic<io_object_t> next{0x1003};
  return next++;
}

io_registry_entry_t AddRegistryEntry(const mchid::HidCollection& collection) {
  io_object_t port = NewObjectPort();
  std::lock_guard lock(g_mutex);
  g_entries.emplace(port, Entry{1, collection});
  return port;
}

void RetainRegistryEntry(io_registry_entry_t entry) {
  std::lock_guard lock(g_mutex);
  if (auto found = g_entries.find(entry); found != g_entries.end()) ++found->second.references;
}

std::optional<mchid::HidCollection> RegistryEntryCollection(io_registry_entry_t entry) {
  std::lock_guard lock(g_mutex);
  auto found = g_entries.find(entry);
  if (found == g_entries.end()) return std::nullopt;
  return found->second.collection;
}

}  // namespace macstandin

io_registry_entry_t IORegistryEntryFromPath(mach_port_t, const io_string_t path) {
  std::string_view text(path, strnlen(path, sizeof(io_string_t)));
  if (!text.starts_with(macstandin::kHidDevicesPath)) return IO_OBJECT_NULL;
  text.remove_prefix(macstandin::kHidDevicesPath.size());
  auto source = macstandin::CurrentHidDeviceSource();
  if (!source) return IO_OBJECT_NULL;
  for (const mchid::HidCollection& collection : source->Enumerate(0, 0)) {
    if (collection.path == text) return macstandin::AddRegistryEntry(collection);
  }
  return IO_OBJECT_NULL;
}

kern_return_t IORegistryEntryGetPath(io_registry_entry_t entry, const io_name_t plane, io_string_t path) {
  if (std::strcmp(plane, kIOServicePlane) != 0) return kIOReturnBadArgument;
  auto collection = macstandin::RegistryEntryCollection(entry);
  if (!collection) return kIOReturnBadArgument;
  std::string full = std::string(macstandin::kHidDevicesPath) + collection->path;
  if (full.size() >= sizeof(io_string_t)) return kIOReturnBadArgument;
  std::memcpy(path, full.c_str(), full.size() + 1);
  return kIOReturnSuccess;
}

kern_return_t IOObjectRelease(io_object_t object) {
  {
    std::lock_guard lock(macstandin::g_mutex);
    auto found = macstandin::g_entries.find(object);
    if (found != macstandin::g_entries.end()) {
      if (--found->second.references == 0) macstandin::g_entries.erase(found);
      return kIOReturnSuccess;
    }
  }
  return macstandin::ReleaseNotificationObject(object) ? kIOReturnSuccess : kIOReturnBadArgument;
}
