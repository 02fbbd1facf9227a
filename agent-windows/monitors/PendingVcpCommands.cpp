#include "agent-windows/monitors/PendingVcpCommands.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <utility>

#include <nlohmann/json.hpp>

#include "agent-windows/GlobalMutex.h"
#include "agent-windows/monitors/DeviceReads.h"
#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/VcpCodes.h"
#include "agent-windows/server/ServerMessages.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "foundation/sync/MutexGuard.h"
#include "foundation/text/TextConversion.h"
#include "foundation/text/TimeText.h"
#include "moncontrol/ddcci/VcpByVectorApi.h"

using nlohmann::json;

namespace {

constexpr std::uint32_t kMutexMissedPauseMs = 1000;
constexpr int kMutexWordLogLine = 1438;

constexpr std::int32_t kQuickSettleMs = 400;
constexpr std::int32_t kSettleMs = 500;
constexpr std::int32_t kSlowSettleMs = 700;

// Never destroyed: the receive thread may still queue while the process exits.
struct PendingCommands {
  std::mutex mutex;
  std::vector<PendingVcpCommand> commands;  // queue order
};

PendingCommands& ThePendingCommands() {
  static PendingCommands* pending = new PendingCommands();
  return *pending;
}

long long SecondsSince(std::int64_t time) { return static_cast<long long>(GetCurrSeconds() - time); }

// A batch can hold "Global\HalvaneSDK" for seconds; these lines show where the time went.
void LogProgress(int mark, std::int64_t start) {
  LogInfo(L"RunCacheCommand : %d Start tm = %lld ,Offset tm = %lld", mark, static_cast<long long>(start),
          SecondsSince(start));
}

// A successful lock or power command is what the registry would otherwise learn only at the
// next full report.
void ApplyCommand(mchid::hid_device* handle, const PendingVcpCommand& pending) {
  const bool applied = SetVCPFeatureByVector(handle, pending.command.data(), 0) == 1;
  const long long age = SecondsSince(pending.time);
  const std::wstring serial = StringToWString(pending.serial);
  if (!applied) {
    LogError(L"RunCacheCommand: SetVCPFeatureByVector [%s] failed = %lld.", serial.c_str(), age);
    return;
  }
  if (pending.command[0] == kVcpLockStatus) SetLockStatus(pending.serial, pending.command[1]);
  if (pending.command[0] == kVcpPowerMode) SetPowerStatus(pending.serial, pending.command[1]);
  LogInfo(L"RunCacheCommand: SetVCPFeatureByVector [%s] success = %lld.", serial.c_str(), age);
}

// Tries every command of a registered monitor that opens, in order, then refreshes the
// device-mutex word of each monitor touched; the "VcpState" entries of the commands tried,
// failed ones included.
json RunCommands(const std::vector<PendingVcpCommand>& commands, const MonitorRegistry& monitors,
                 std::int64_t start) {
  json entries = json::array();
  std::vector<const MonitorState*> touched;
  for (const PendingVcpCommand& pending : commands) {
    const auto monitor = monitors.find(pending.serial);
    if (monitor == monitors.end()) continue;
    LogProgress(222, start);
    mchid::hid_device* handle = GetMonitorHandle(monitor->second);
    LogProgress(333, start);
    if (handle == nullptr) continue;
    ApplyCommand(handle, pending);
    LogProgress(444, start);
    // A monitor busy applying a setting drops what it receives meanwhile.
    tarvik::SleepMs(static_cast<std::uint32_t>(SettleDelay(pending.command[0], pending.command[1])));
    LogProgress(555, start);
    if (std::find(touched.begin(), touched.end(), &monitor->second) == touched.end())
      touched.push_back(&monitor->second);
    // A list of one record: the server reads "funcList" as a list, as in its display commands.
    entries.push_back({{"serialNumber", pending.serial}, {"funcList", json::array({pending.command})}});
  }
  LogProgress(666, start);
  // The device-mutex word as each monitor holds it after the batch.
  for (const MonitorState* monitor : touched)
    if (mchid::hid_device* handle = GetMonitorHandle(*monitor))
      RefreshDeviceMutexWord(handle, monitor->sn, kMutexWordLogLine);
  return entries;
}

}  // namespace

void addChangeVcpCode(std::string serial, const std::int32_t* command) {
  std::array<std::int32_t, 6> values{};
  std::copy_n(command, values.size(), values.begin());
  PendingCommands& pending = ThePendingCommands();
  std::lock_guard<std::mutex> lock(pending.mutex);
  LogInfo(L"addChangeVcpCode: sn=%s,vcp=%d", StringToWString(serial).c_str(), static_cast<int>(values[0]));
  if (values[0] == kVcpFactoryReset) SetNeedUpdate(serial, true);
  const auto queued = std::find_if(
      pending.commands.begin(), pending.commands.end(),
      [&](const PendingVcpCommand& c) { return c.serial == serial && c.command[0] == values[0]; });
  if (queued != pending.commands.end())
    queued->command = values;
  else
    pending.commands.push_back({GetCurrSeconds(), std::move(serial), values});
}

std::vector<PendingVcpCommand> TakePendingCommands() {
  PendingCommands& pending = ThePendingCommands();
  std::lock_guard<std::mutex> lock(pending.mutex);
  return std::exchange(pending.commands, {});
}

void RunCacheCommand() {
  const std::vector<PendingVcpCommand> commands = TakePendingCommands();
  if (commands.empty()) return;
  const std::int64_t start = GetCurrSeconds();
  LogInfo(L"RunCacheCommand =  MutexGuard Get Start %lld.", static_cast<long long>(start));
  MutexGuard guard(kGlobalMutexName, kGlobalMutexWaitMs);
  if (!guard.IsLocked()) {
    LogError(L"RunCacheCommand:MutexGuard return !");
    tarvik::SleepMs(kMutexMissedPauseMs);
    return;
  }
  LogInfo(L"RunCacheCommand =  MutexGuard Get End %lld.", static_cast<long long>(start));
  MonitorRegistry monitors;
  CopyMonitorRegistry(monitors);
  if (monitors.empty()) {
    LogError(L"RunCacheCommand:Monitor count is less than 0 !");
    return;
  }
  LogProgress(111, start);
  const json message = {{"type", "VcpState"}, {"monitorList", RunCommands(commands, monitors, start)}};
  LogInfo(L"RunCacheCommand : Total tm = %lld", SecondsSince(start));
  const std::string text = SerializeMessage(message);
  LogInfo(L"%S", text.c_str());
  WebSocketMgr::GetInstance()->SendMsg(text, true);
}

std::int32_t SettleDelay(std::int32_t code, std::int32_t second) {
  switch (code) {
    case 0x14:
      return second == 1 || second == 14 ? kQuickSettleMs : kSettleMs;
    case 0x86:
      return second == 1 || second == 2 ? kSlowSettleMs : kSettleMs;
    case 0xDC:
      return second == 0 || second == 1 || second == 5 ? kQuickSettleMs : kSettleMs;
    case 0xEA:
      return second == 0 ? kQuickSettleMs : kSettleMs;
    default:
      return kSettleMs;
  }
}
