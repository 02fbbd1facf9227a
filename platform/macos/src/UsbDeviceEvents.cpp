#include "platform/macos/UsbDeviceEvents.h"

#include "platform/macos/internal/MachineBus.h"
#include "platform/macos/internal/UsbEventMessage.h"

namespace macstandin {
namespace {

constexpr std::string_view kArrival = "arrival ";
constexpr std::string_view kRemoval = "removal ";

}  // namespace

std::string UsbEventMessage(const UsbEvent& event) {
  return std::string(event.arrived ? kArrival : kRemoval) + event.name;
}

std::optional<UsbEvent> ParseUsbEventMessage(const std::string& message) {
  for (const bool arrived : {true, false}) {
    const std::string_view kind = arrived ? kArrival : kRemoval;
    if (message.size() > kind.size() && message.starts_with(kind)) return UsbEvent{arrived, message.substr(kind.size())};
  }
  return std::nullopt;
}

void AnnounceUsbDevice(bool arrived, const std::string& name) {
  BusSend(kUsbChannel, UsbEventMessage({arrived, name}));
}

}  // namespace macstandin
