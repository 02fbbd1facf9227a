#include "agent-windows/server/CommandHandler.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "agent-windows/CaughtException.h"
#include "agent-windows/monitors/PendingVcpCommand.h"
#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/PendingVcpCommands.h"
#include "agent-windows/server/ServerMessages.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "agent-windows/update/InstallQueue.h"
#include "agent-windows/update/InstallationSequence.h"
#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"

using nlohmann::json;

namespace {

constexpr int kResponseOk = 0;
constexpr int kResponseDownFileFail = 3;
constexpr std::uint32_t kBeforeInstallMs = 100;

// What the handling of one message did to the firmware updates.
enum class UpdateState {
  Unchanged,
  Running,  // an update's installer was handed to its worker
  Ended,    // an update ended without an installer: the next waiting one may start
};

void SendResponse(std::int64_t cmdid, int status) {
  WebSocketMgr::GetInstance()->SendMsg(BuildResponse(cmdid, status), true);
}

void EndWithoutInstaller(UpdateId id) {
  EndUpdate(id);
  WebSocketMgr::GetInstance()->SetIsInstall(false);
}

// The value when it is an array; the JSON library's type error for anything else.
const json& RequireArray(const json& value) {
  if (!value.is_array())
    throw json::type_error::create(302, std::string("type must be array, but is ") + value.type_name(), &value);
  return value;
}

// "funcList" as integer arrays; a conversion error ends the whole message.
std::vector<std::vector<std::int32_t>> ReadFuncList(const json& entry) {
  std::vector<std::vector<std::int32_t>> commands;
  for (const json& command : RequireArray(entry.at("funcList"))) {
    std::vector<std::int32_t> values;
    for (const json& value : RequireArray(command)) values.push_back(JsonToInt32(value));
    commands.push_back(std::move(values));
  }
  return commands;
}

// [code, value] or [248, sub-code, value] as a six-integer record; none when too short.
std::optional<std::array<std::int32_t, 6>> ToRecord(const std::vector<std::int32_t>& values) {
  if (values.size() < 2) return std::nullopt;
  if (values[0] != kExtendedVcpPage) return std::array<std::int32_t, 6>{values[0], values[1], 0, 0, 0, 0};
  if (values.size() < 3) return std::nullopt;
  return std::array<std::int32_t, 6>{values[0], values[1], values[2], 0, 0, 0};
}

void QueueDisplayCommands(const json& message) {
  MonitorRegistry monitors;
  CopyMonitorRegistry(monitors);
  if (monitors.empty()) {
    LogInfo(L"displayCommand Monitor count = 0.");
    return;
  }
  const json& entries = RequireArray(message.at("monitorList"));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string serial = entries[i].at("serialNumber").get<std::string>();
    LogInfo(L"displayCommand sn = %S.", serial.c_str());
    for (const std::vector<std::int32_t>& command : ReadFuncList(entries[i])) {
      try {
        if (const auto record = ToRecord(command)) addChangeVcpCode(serial, record->data());
      } catch (...) {
        LogCaughtException(L"SetVCPFeatureByVector", L"Unknown exception...");
      }
    }
    LogInfo(L"Monitor %d func Over! ", static_cast<int>(i));
  }
}

// The whole text is what waits in the queue, to be handled again as it arrived. A command
// taken from the queue comes with the update it began.
UpdateState StartFirmwareUpdate(const json& message, const std::string& text, std::optional<UpdateId> begun) {
  const json& monitorList = RequireArray(message.at("monitorList"));
  if (monitorList.empty()) return UpdateState::Unchanged;
  if (!begun) begun = QueueWhileUpdating(text);
  if (!begun) return UpdateState::Unchanged;
  try {
    tarvik::SleepMs(kBeforeInstallMs);
    GetJsonInt(monitorList.at(0), "index");
    if (RunInstallationSequence(monitorList, *begun)) return UpdateState::Running;
  } catch (...) {
    // A malformed command must never leave updates blocked.
    LogCaughtException(L"ParseControlCmd");
    EndWithoutInstaller(*begun);
    return UpdateState::Ended;
  }
  // Idle first: updates must not stay blocked on a response that cannot be queued.
  EndWithoutInstaller(*begun);
  SendResponse(GetJsonInt64(message, "cmdid"), kResponseDownFileFail);
  return UpdateState::Ended;
}

UpdateState Dispatch(const std::string& text, std::optional<UpdateId> begun) {
  const json message = json::parse(text);
  if (message.is_object() && message.contains("cmdid")) SendResponse(GetJsonInt64(message, "cmdid"), kResponseOk);
  const std::string type = message.at("type").get<std::string>();
  if (type == "displayCommand" || type == "advDispCommand") {
    QueueDisplayCommands(message);
  } else if (type == "firmwareUpdateCommand") {
    return StartFirmwareUpdate(message, text, begun);
  } else if (type == "RefreshAllStatus") {
    MarkAllMonitorsStale();
  } else if (type == "reportResponseOk") {
    // An acknowledgement: nothing beyond the "ok".
  } else {
    LogWarn(L"An unsupported command was received!");
  }
  return UpdateState::Unchanged;
}

UpdateState HandleOne(const std::string& text, std::optional<UpdateId> begun) {
  UpdateState state = UpdateState::Unchanged;
  try {
    state = Dispatch(text, begun);
  } catch (...) {
    LogCaughtException(L"ParseControlCmd");
  }
  // An update begun for a text that started nothing must not block the ones behind it.
  if (begun && state == UpdateState::Unchanged) {
    EndWithoutInstaller(*begun);
    return UpdateState::Ended;
  }
  return state;
}

}  // namespace

void ParseControlCmd(const std::string& text) {
  if (HandleOne(text, std::nullopt) == UpdateState::Ended) RunQueuedFirmwareCommands();
}

void RunQueuedFirmwareCommands() {
  // A loop, not recursion: a long queue of failing commands never deepens the stack.
  while (std::optional<TakenInstallCommand> next = TakeNextInstallCommand())
    if (HandleOne(next->text, next->id) != UpdateState::Ended) return;
}

void EndFirmwareUpdate(UpdateId id) {
  if (!EndUpdate(id)) return;
  WebSocketMgr::GetInstance()->SetIsInstall(false);
  RunQueuedFirmwareCommands();
}
