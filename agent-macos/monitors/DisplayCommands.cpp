// The display commands the server sent, written to the device in the order they came.
#include "agent-macos/commands/ServiceCommand.h"
#include "agent-macos/log/Log.h"
#include "agent-macos/monitors/MonitorUpdater.h"
#include "foundation/clock/Clock.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/macos/MacApi.h"

namespace {

constexpr std::int64_t kExtendedPage = 248;
constexpr std::uint8_t kVcpExtendedSelect = 0xF8;
constexpr std::uint8_t kVcpExtendedValue = 0xF7;
constexpr std::uint32_t kSelectPauseMs = 200;
constexpr std::uint32_t kCommandPauseMs = 50;

bool inRange(std::int64_t value, std::int64_t top) { return value >= 0 && value <= top; }

// Whether the command's fields fit the device's: the code a byte, sub-code and value 16 bits.
bool sendable(const MonitorUpdater::VcpCommand& command) {
  if (command.size() < 2 || !inRange(command[0], 0xFF)) return false;
  if (command[0] != kExtendedPage) return inRange(command[1], 0xFFFF);
  return command.size() >= 3 && inRange(command[1], 0xFFFF) && inRange(command[2], 0xFFFF);
}

std::string commandText(const MonitorUpdater::VcpCommand& command) {
  std::string text = "[";
  for (std::size_t i = 0; i < command.size(); ++i) text += (i ? ", " : "") + std::to_string(command[i]);
  return text + "]";
}

}  // namespace

void MonitorUpdater::runDisplayCommand() {
  if (_vcpCommandQueue.snapshot().empty()) return;
  std::lock_guard work(deviceWork);
  stopReading();
  tagMONCTRLINFO info = pMcInfo;
  // Without a handle every write fails in the library; the commands are used up all the same.
  mchid::hid_device* handle = OpenMonCtrl3(&info, kOpenTimeoutMs);
  while (std::optional<VcpCommand> command = _vcpCommandQueue.takeFirst()) {
    if (!sendable(*command)) {
      Utils::logWarn("Display command dropped, its values do not fit the device: " + commandText(*command));
      continue;
    }
    writeDisplayCommand(handle, *command);
    tarvik::SleepMs(kCommandPauseMs);
  }
  postServiceCommand(ServiceCommand::ImmediatelyHeartbeat);
  if (handle != nullptr) CloseMonCtrl(handle);
  CreateCallback();
}

void MonitorUpdater::writeDisplayCommand(mchid::hid_device* handle, const VcpCommand& command) {
  if (command[0] != kExtendedPage) {
    SetVCPFeatureL(handle, static_cast<std::uint8_t>(command[0]), static_cast<std::uint16_t>(command[1]));
    return;
  }
  // The value goes only to the sub-code the monitor accepted.
  if (SetVCPFeatureL(handle, kVcpExtendedSelect, static_cast<std::uint16_t>(command[1])) != 0) return;
  tarvik::SleepMs(kSelectPauseMs);
  SetVCPFeatureL(handle, kVcpExtendedValue, static_cast<std::uint16_t>(command[2]));
}
