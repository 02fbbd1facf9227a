#include "agent-macos/messages/MessageJsonHelper.h"

#include <cmath>
#include <optional>

#include "agent-macos/system/ComputerName.h"

using nlohmann::json;

namespace {

const char* statusText(ResponseStatus status) {
  switch (status) {
    case ResponseStatus::ok:
      return "ok";
    case ResponseStatus::busy:
      return "busy";
    case ResponseStatus::heartbeat:
      return "heartbeat";
    default:
      return "download";
  }
}

// The platform's serialiser writes a whole-numbered float without a fraction (50, not 50.0).
json numberOf(float value) {
  const double widened = value;
  if (std::isfinite(widened) && std::trunc(widened) == widened && std::fabs(widened) < 9.0e15)
    return static_cast<std::int64_t>(widened);
  return widened;
}

}  // namespace

json MessageJsonHelper::makeResponse(std::int64_t cmdid, ResponseStatus status) {
  return {{"cmdid", cmdid}, {"type", "response"}, {"status", statusText(status)}};
}

json MessageJsonHelper::makeReportBase() {
  json base = json::object();
  if (std::optional<std::string> name = computerName()) base["hostName"] = *name;
  base["type"] = "displayStatusReport";
  return base;
}

json MessageJsonHelper::makeFirmwareUpdateProgress(const std::string& serialNumber, float progress,
                                                   std::int64_t state, const std::string& context,
                                                   std::int64_t userId) {
  json message = makeReportBase();
  message["type"] = "firmwareUpdateProgress";
  json entry = {{"index", 0}, {"serialNumber", serialNumber}};
  entry["updateProcessInfo"] = {
      {"updateStatus", numberOf(progress)}, {"updateFlag", state}, {"updateContent", context}, {"userId", userId}};
  message["monitorList"] = json::array({entry});
  return message;
}
