// The backend that reaches the monitors of a running monsim process over its device socket.
#pragma once

#include <memory>
#include <string>

#include "moncontrol/hid/HidBackend.h"

namespace mchid {

// Environment variable naming the device socket of a monsim process; when set, the layer
// uses the simulator instead of the system's HID devices.
inline constexpr const char* kSimulatorSocketVariable = "TARVIK_MONSIM_SOCKET";

std::shared_ptr<HidBackend> MakeSimulatorClientBackend(const std::string& socketPath);

}  // namespace mchid
