// The IOService registry as far as HID devices go: one entry per collection of the device
// source, at "IOService:/Tarvik/" followed by the collection's path.
#pragma once

#include <optional>

#include "moncontrol/hid/HidBackend.h"
#include "platform/macos/api/IOKitLib.h"

namespace macstandin {

// A new port naming the collection's entry, holding one reference.
io_registry_entry_t AddRegistryEntry(const mchid::HidCollection& collection);
void RetainRegistryEntry(io_registry_entry_t entry);
// The collection of the entry, or nothing when the port names no entry.
std::optional<mchid::HidCollection> RegistryEntryCollection(io_registry_entry_t entry);

}  // namespace macstandin
