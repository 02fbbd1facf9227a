// The messages the agent builds for the management server, as JSON objects that the connection
// serialises (jsonText) and sends.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

// The status of a "response"; only ok is ever sent.
enum class ResponseStatus : int { ok = 0, busy = 1, heartbeat = 2, download = 3 };

struct MessageJsonHelper {
  static nlohmann::json makeResponse(std::int64_t cmdid, ResponseStatus status);
  // The head of "displayStatusReport" and "firmwareUpdateProgress": "hostName" (left out when the
  // system gives no computer name) and "type".
  static nlohmann::json makeReportBase();
  static nlohmann::json makeFirmwareUpdateProgress(const std::string& serialNumber, float progress,
                                                   std::int64_t state, const std::string& context,
                                                   std::int64_t userId);
};
