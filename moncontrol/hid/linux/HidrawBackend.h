// The backend for real devices: the system's hidapi over hidraw.
#pragma once

#include <memory>
#include <string>

#include "moncontrol/hid/HidBackend.h"

namespace mchid {

// sysfsRoot is where the nodes' report descriptors are read from.
std::shared_ptr<HidBackend> MakeHidrawBackend(std::string sysfsRoot = "/sys");

}  // namespace mchid
