// The read thread: it opens the device for each read, so that the device reads and command runs
// of the other tasks can take it in between.
#include <vector>

#include "agent-macos/commands/ServiceCommand.h"
#include "agent-macos/log/Log.h"
#include "agent-macos/monitors/MonitorUpdater.h"
#include "foundation/clock/Clock.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/macos/MacApi.h"
#include "moncontrol/transport/HidTransport.h"
#include "moncontrol/transport/ListenerApi.h"

namespace {

constexpr std::int32_t kReadBufferSize = 1024;
constexpr std::int32_t kReadTimeoutMs = 500;
constexpr std::uint32_t kStopPollMs = 50;
constexpr std::uint32_t kPauseAfterFailedOpenMs = 200;
constexpr std::uint32_t kPauseAfterReadMs = 100;

constexpr std::uint32_t kVcpNewControlValue = 0x04;
constexpr std::uint32_t kVcpMutexChanged = 0x14;
constexpr std::uint32_t kVcpPowerMode = 0xD6;
constexpr std::uint32_t kVcpLockStatus = 0xF6;
constexpr std::uint32_t kVcpMutexStatus = 0xFA;
constexpr std::uint32_t kExtendedValue = 0xF7;
constexpr std::uint32_t kExtendedPage = 0xF8;

}  // namespace

void MonitorUpdater::CreateCallback() {
  std::lock_guard work(deviceWork);
  if (readThread.thread.joinable()) {
    Utils::logInfo("MonitorUpdater read thread already exists, stopping it before creating a new one.");
    stopReading();
  }
  shouldStopReading = false;
  auto executing = std::make_shared<std::atomic<bool>>(true);
  readThread.executing = executing;
  readThread.thread = std::thread([updater = weak_from_this(), executing] {
    if (std::shared_ptr<MonitorUpdater> running = updater.lock()) running->readThreadLoop();
    *executing = false;
  });
}

void MonitorUpdater::stopReading() {
  std::lock_guard work(deviceWork);
  shouldStopReading = true;
  if (!readThread.thread.joinable()) return;
  if (readThread.thread.get_id() == std::this_thread::get_id()) {
    // The loop let go of the last reference to its updater: the thread ends by itself.
    readThread.thread.detach();
  } else {
    while (*readThread.executing) tarvik::SleepMs(kStopPollMs);
    readThread.thread.join();
  }
  readThread = {};
}

void MonitorUpdater::readThreadLoop() {
  std::vector<std::uint8_t> buffer(kReadBufferSize, 0);
  if (shouldStopReading) return;
  do {
    tagMONCTRLINFO info = pMcInfo;
    mchid::hid_device* handle = OpenMonCtrl3(&info, kOpenTimeoutMs);
    if (handle == nullptr) {
      Utils::logInfo("CreateCallback Failed to open monitor control handle.");
      tarvik::SleepMs(kPauseAfterFailedOpenMs);
      continue;
    }
    if (ReadData(handle, kReadBufferSize, buffer.data(), kReadTimeoutMs) >= 1) handleDeviceReport(buffer.data());
    CloseMonCtrl(handle);
    tarvik::SleepMs(kPauseAfterReadMs);
  } while (!shouldStopReading);
}

void MonitorUpdater::handleDeviceReport(std::uint8_t* buffer) {
  const tagMCCMD_RECEIVE_HEADER header = *GetMccmdHeader(buffer);
  if (header.cmdType != MCCMD_TYPE_MESSAGE) return;
  Utils::logWarn("ReadData result: " + std::to_string(header.cmdType) +
                 ", CMD_MESSAGE funcCode: " + std::to_string(header.param1) +
                 ", subCode: " + std::to_string(header.param2) + ", param3: " + std::to_string(header.param3) +
                 ", param4: " + std::to_string(header.param4) + ", dataLength: " + std::to_string(header.dataLength));
  MonitorCallback(header.param1, header.param2, header.param3, header.param4);
}

void MonitorUpdater::MonitorCallback(std::uint32_t funcCode, std::uint32_t subCode, std::uint32_t param3,
                                     std::uint32_t param4) {
  const std::string numbers[] = {std::to_string(funcCode), std::to_string(subCode), std::to_string(param3),
                                 std::to_string(param4)};
  std::array<std::uint32_t, 4> record{};
  if (subCode < 0x100) {
    record = {subCode, param3, param4, 0};
  } else if ((subCode & 0xFF) == kExtendedValue) {
    record = {kExtendedPage, (subCode >> 8) & 0xFF, param3, param4};
  } else {
    Utils::logInfo("MonitorCallback Error = " + numbers[0] + "," + numbers[1] + "," + numbers[2] + "," + numbers[3] +
                   ".");
  }
  Utils::logInfo("MonitorCallback funcCode: " + numbers[0] + ", subCode: " + numbers[1] + ", param3: " + numbers[2] +
                 ", param4: " + numbers[3] + " \xEF\xBC\x8C 38");
  if (funcCode != FUNC_CODE_VCP_CHANGED) return;
  queueVcpChange(record);
  switch (subCode) {
    case kVcpNewControlValue:
      SetDeviceChange();
      break;
    case kVcpMutexChanged:
      SetUpdateMutexStatus();
      break;
    case kVcpPowerMode:
      setRootPowerStatus(clampedToInt32(param3));
      break;
    case kVcpLockStatus:
      updateLockStatus(rootSerial(), param3);
      break;
    case kVcpMutexStatus:
      updateDeviceMutexStatus(rootSerial(), param4, param3);
      SetUpdateMutexStatus();
      break;
    default:
      break;
  }
  postServiceCommand(ServiceCommand::ImmediatelyHeartbeat);
}
