// Where the IOKit stand-in's HID devices come from. Not part of the IOKit shape: only tests
// and the stand-in itself include it.
#pragma once

#include <memory>

#include "moncontrol/hid/HidBackend.h"

namespace macstandin {
// The HID devices the stand-in shows: the monsim process named by TARVIK_MONSIM_SOCKET
// (mchid::MakeSimulatorClientBackend) unless a test installed a source; none when neither.
void SetHidDeviceSource(std::shared_ptr<mchid::HidBackend> source);  // null restores the default

// How many HID managers IOHIDManagerCreate has made in this process.
int HidManagersCreated();
}
