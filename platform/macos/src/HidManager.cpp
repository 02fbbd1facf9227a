#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/macos/HidDeviceSource.h"
#include "platform/macos/api/IOHIDManager.h"
#include "platform/macos/internal/CFValues.h"
#include "platform/macos/internal/DeviceSource.h"
#include "platform/macos/internal/HidDevice.h"
#include "platform/macos/internal/Registry.h"

namespace {

std::atomic<int> g_managersCreated{0};

}  // namespace

struct IOHIDManagerObject final : macstandin::CFObject {
  CFTypeID TypeId() const override { return macstandin::kHidManagerTypeId; }

  std::mutex mutex;
  bool matching = false;
  // A device keeps its object while the manager lives and sees it.
  std::map<std::string, macstandin::Retained<IOHIDDeviceObject>> devices;
};

namespace macstandin {

int HidManagersCreated() { return g_managersCreated.load(); }

}  // namespace macstandin

CFTypeID IOHIDManagerGetTypeID() { return macstandin::kHidManagerTypeId; }

IOHIDManagerRef IOHIDManagerCreate(CFAllocatorRef, IOOptionBits) {
  ++g_managersCreated;
  return new IOHIDManagerObject;
}

void IOHIDManagerSetDeviceMatching(IOHIDManagerRef manager, CFDictionaryRef) {
  std::lock_guard lock(manager->mutex);
  manager->matching = true;
}

CFSetRef IOHIDManagerCopyDevices(IOHIDManagerRef manager) {
  using macstandin::Retained;
  std::lock_guard lock(manager->mutex);
  if (!manager->matching) return nullptr;
  auto source = macstandin::CurrentHidDeviceSource();
  std::map<std::string, Retained<IOHIDDeviceObject>> present;
  std::vector<Retained<const macstandin::CFObject>> members;
  for (mchid::HidCollection& collection : source ? source->Enumerate(0, 0) : std::vector<mchid::HidCollection>{}) {
    auto known = manager->devices.find(collection.path);
    Retained<IOHIDDeviceObject> device =
        known != manager->devices.end()
            ? known->second
            : Retained<IOHIDDeviceObject>::Adopt(
                  new IOHIDDeviceObject(macstandin::AddRegistryEntry(collection), collection));
    members.emplace_back(device.Get());
    present.emplace(collection.path, std::move(device));
  }
  manager->devices = std::move(present);
  return new CFSetObject(std::move(members));
}
