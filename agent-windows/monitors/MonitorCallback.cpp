// The agent's listener callback: a monitor's unsolicited messages, of which only VCP changes
// matter, become change records for the heartbeat and updates of the registry.
#include <array>
#include <cstdint>
#include <string>

#include "agent-windows/CaughtException.h"
#include "agent-windows/monitors/PendingVcpCommand.h"
#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/VcpChangeRecords.h"
#include "agent-windows/monitors/VcpCodes.h"
#include "foundation/log/Log.h"
#include "foundation/text/TextConversion.h"
#include "moncontrol/transport/ByteOrder.h"
#include "moncontrol/transport/ListenerApi.h"

namespace {

constexpr std::uint32_t kExtendedCodeMarker = 0xF7;

struct MessageWords {
  std::uint32_t funcCode;
  std::uint32_t subCode;
  std::uint32_t param3;
  std::uint32_t param4;
};

// The change record of a message, or none for a code above 0xFF that is not an extended one.
bool ChangeRecordOf(const MessageWords& m, std::array<std::int32_t, 6>& record) {
  const auto param3 = static_cast<std::int32_t>(m.param3);
  const auto param4 = static_cast<std::int32_t>(m.param4);
  if (m.subCode <= 0xFF) {
    record = {static_cast<std::int32_t>(m.subCode), param3, param4, 0, 0, 0};
    return true;
  }
  if ((m.subCode & 0xFF) == kExtendedCodeMarker) {
    record = {kExtendedVcpPage, static_cast<std::int32_t>(m.subCode >> 24), param3, param4, 0, 0};
    return true;
  }
  LogError(L"MonitorCallback Error =  %d , %X , %d , %d .", static_cast<int>(m.funcCode), m.subCode,
           static_cast<int>(m.param3), static_cast<int>(m.param4));
  return false;
}

void ApplySideEffects(const MessageWords& m, const std::string& serial) {
  switch (m.subCode) {
    case kVcpDeviceMutex:
      LogInfo(L"VCP_MUTEX_TEST -line 1269 idx=%d , value=%u", static_cast<int>(m.param4), m.param3);
      UpdateDeviceMutexStatus(serial, static_cast<std::uint8_t>(m.param4 & 0xFF), m.param3);
      break;
    case kVcpFactoryReset:  // factory defaults restored: everything may have changed
      SetNeedUpdate(serial, true);
      break;
    case kVcpLockStatus:
      SetLockStatus(serial, static_cast<std::int32_t>(m.param3));
      break;
    case kVcpPowerMode:
      SetPowerStatus(serial, static_cast<std::int32_t>(m.param3));
      break;
    default:
      break;
  }
}

void HandleMessage(const wchar_t* serial, const std::uint8_t* bytes) {
  const MessageWords m{LoadUInt32LE(bytes), LoadUInt32LE(bytes + 4), LoadUInt32LE(bytes + 8),
                       LoadUInt32LE(bytes + 12)};
  std::array<std::int32_t, 6> record{};
  const bool recorded = ChangeRecordOf(m, record);
  LogInfo(L"MonitorCallback1 =  %d , %d , %d , %d .", static_cast<int>(m.funcCode), static_cast<int>(m.subCode),
          static_cast<int>(m.param3), static_cast<int>(m.param4));
  LogInfo(L"MonitorCallback2 =  %d , %d .", record[0], record[1]);
  if (m.funcCode != FUNC_CODE_VCP_CHANGED || !recorded) return;
  AddVcpChangeRecord(serial, record.data(), record.size());
  ApplySideEffects(m, WStringToUtf8(serial));
}

}  // namespace

void MonitorCallback(mchid::hid_device* /*device*/, wchar_t* serial, void* message, std::size_t length) {
  if (serial == nullptr || message == nullptr || length < kCmdMessageHeaderSize) {
    LogError(L"MonitorCallback: no whole message (%d bytes).", static_cast<int>(length));
    return;
  }
  // This runs on a library thread, which must outlive whatever one message does.
  try {
    HandleMessage(serial, static_cast<const std::uint8_t*>(message));
  } catch (...) {
    LogCaughtException(L"MonitorCallback");
  }
}
