#include "moncontrol/transport/ListenerThread.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/CommandHeader.h"
#include "moncontrol/transport/HidTransport.h"
#include "moncontrol/transport/ListenerMessage.h"
#include "moncontrol/transport/ListenerRecord.h"

namespace {

const wchar_t* Shown(const wchar_t* serial) { return serial != nullptr ? serial : L""; }

// ReadData gives up on a device that stays quiet just as on one that fails; only a failed
// read leaves an error on the handle. A quiet device is no lost device.
bool WasQuiet(std::int32_t result, mchid::hid_device* device) {
  return result == MC_ERR_READ_FAILED && mchid::hid_error(device) == nullptr;
}

void HandleReport(ListenerRecord& record) {
  // Replies to the commands of other handles on the device arrive here too.
  if (record.readLen < static_cast<std::int32_t>(kMccmdReceiveHeaderSize)) return;
  if (LoadMccmdReceiveHeader(record.readBuf).cmdType != MCCMD_TYPE_MESSAGE) return;

  const CMD_MESSAGE message = CmdMessageFromReport(record.readBuf, static_cast<std::size_t>(record.readLen));
  const std::size_t length = kCmdMessageHeaderSize + message.dataLength;
  std::unique_ptr<std::uint8_t[]> flat(new (std::nothrow) std::uint8_t[length]);
  if (!flat) {
    LogError(L"MCListenThread cannot allocate a message of %lu bytes", static_cast<std::uint32_t>(length));
    return;
  }
  PackCmdMessage(&message, flat.get(), length);
  DeliverToCallback(record, record.hidDevice, flat.get(), length);
}

void Reopen(ListenerRecord& record, std::int32_t readResult) {
  if (record.hidDevice != nullptr)
    LogWarn(L"MCListenThread read of %s failed (%ld), reopening", Shown(record.serialNumber), readResult);
  CloseMonCtrl(record.hidDevice);
  mchid::hid_device* device =
      mchid::hid_open(static_cast<std::uint16_t>(record.vid), static_cast<std::uint16_t>(record.pid),
                      record.serialNumber, record.interfaceNumber);
  record.hidDevice = device;
  if (device != nullptr) LogInfo(L"MCListenThread reopened %s", Shown(record.serialNumber));

  auto message = MakeConnectMessage(device != nullptr);
  if (device == nullptr) tarvik::SleepMs(kListenReopenPauseMs);
  DeliverToCallback(record, device, message.data(), message.size());
}

}  // namespace

void MCListenThread(ListenerRecord* record) {
  LogInfo(L"this is MCListenThread.");
  LogInfo(L"this is pMonCtrlListen->bListen.");
  while (record->bListen != 0) {
    const std::int32_t result = ReadData(record->hidDevice, static_cast<std::int32_t>(kListenReadBufferSize),
                                         record->readBuf, kListenReadTimeoutMs);
    if (result >= 0) {
      record->readLen = result;
      HandleReport(*record);
    } else if (!WasQuiet(result, record->hidDevice) && record->bListen != 0) {
      // A device lost after the stop was asked is not reopened.
      Reopen(*record, result);
    }
  }
#if defined(TARVIK_MACOS)
  CloseMonCtrl(record->hidDevice);
  record->hidDevice = nullptr;
#endif
  FinishListenerThread(record);
}
