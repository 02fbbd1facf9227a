// Scripts for the macOS installer double that the process tests run.
#pragma once

#include <nlohmann/json.hpp>

namespace agentmactest {

// For every serial one report each way (a notification at 50%, then "installStatus" at 100%),
// then an exit status the agent does not read.
inline nlohmann::json OneReportEachWayScript() {
  using nlohmann::json;
  const json notified = {{"notify", {{"progress", 50}, {"sn", "$sn"}, {"state", 1}, {"context", "installing"}}}};
  const json polled = {{"status", {{"progress", 100}, {"sn", "$sn"}, {"state", 2}, {"context", "done"}}}};
  return {{"steps", json::array({json{{"eachSerial", json::array({notified, polled})}}})}, {"exitCode", 3}};
}

}  // namespace agentmactest
