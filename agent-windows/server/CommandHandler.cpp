#include "agent-windows/server/CommandHandler.h"

#include <nlohmann/json.hpp>

#include "agent-windows/CaughtException.h"
#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/server/ServerMessages.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "foundation/log/Log.h"

namespace {

constexpr int kResponseOk = 0;

void Dispatch(const nlohmann::json& message) {
  if (message.is_object() && message.contains("cmdid")) {
    std::int64_t cmdid = GetJsonInt64(message, "cmdid");
    WebSocketMgr::GetInstance()->SendMsg(BuildResponse(cmdid, kResponseOk), true);
  }
  const std::string type = message.at("type").get<std::string>();
  if (type == "RefreshAllStatus") {
    MarkAllMonitorsStale();
  } else if (type == "reportResponseOk") {
    // An acknowledgement: nothing beyond the "ok".
  } else {
    LogWarn(L"An unsupported command was received!");
  }
}

}  // namespace

void ParseControlCmd(const std::string& text) {
  try {
    Dispatch(nlohmann::json::parse(text));
  } catch (...) {
    LogCaughtException(L"ParseControlCmd");
  }
}
