// The bus messages that carry USB arrivals and removals between the machine's processes.
#pragma once

#include <optional>
#include <string>

namespace macstandin {

inline constexpr const char* kUsbChannel = "usb";

struct UsbEvent {
  bool arrived;
  std::string name;
};

std::string UsbEventMessage(const UsbEvent& event);
// Nothing for a message that is not one of UsbEventMessage's.
std::optional<UsbEvent> ParseUsbEventMessage(const std::string& message);

}  // namespace macstandin
