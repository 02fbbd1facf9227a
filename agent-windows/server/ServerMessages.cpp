#include "agent-windows/server/ServerMessages.h"

#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "agent-windows/CaughtException.h"
#include "foundation/text/ComputerName.h"

using nlohmann::json;

std::atomic<std::int32_t> g_nUserId{0};

namespace {

constexpr std::array<const char*, 4> kResponseStatus = {"ok", "busy", "heartbeat", "downFileFail"};

[[noreturn]] void ThrowOutOfRange(const std::string& what, const json& value) {
  throw json::out_of_range::create(406, "number overflow converting " + what, &value);
}

template <typename Int>
Int IntegerInRange(auto number, const std::string& what, const json& value) {
  if (!std::in_range<Int>(number)) ThrowOutOfRange(what, value);
  return static_cast<Int>(number);
}

template <typename Int>
Int FloatInRange(double number, const std::string& what, const json& value) {
  // Both bounds are powers of two, so they are exact doubles; NaN fails both tests.
  const double lowest = static_cast<double>(std::numeric_limits<Int>::min());
  const double whole = std::trunc(number);
  if (!(whole >= lowest && whole < -lowest)) ThrowOutOfRange(what, value);
  return static_cast<Int>(whole);
}

// what names the value in the errors.
template <typename Int>
Int JsonValueToInteger(const json& value, const std::string& what, bool acceptBoolean) {
  switch (value.type()) {
    case json::value_t::number_integer:
      return IntegerInRange<Int>(value.get<json::number_integer_t>(), what, value);
    case json::value_t::number_unsigned:
      return IntegerInRange<Int>(value.get<json::number_unsigned_t>(), what, value);
    case json::value_t::number_float:
      return FloatInRange<Int>(value.get<json::number_float_t>(), what, value);
    case json::value_t::boolean:
      if (acceptBoolean) return value.get<bool>() ? 1 : 0;
      break;
    default:
      break;
  }
  throw json::type_error::create(302, std::string("type must be number, but is ") + value.type_name(),
                                 &value);
}

template <typename Int>
Int ReadJsonInteger(const json& object, const std::string& key, bool acceptBoolean) {
  const auto found = object.find(key);
  if (found == object.end()) return 0;
  return JsonValueToInteger<Int>(*found, "key '" + key + "'", acceptBoolean);
}

}  // namespace

std::string SerializeMessage(const json& message) {
  return message.dump(-1, ' ', false, json::error_handler_t::replace);
}

json BuildReportBase() {
  return {{"hostName", GetComputerNameString()}, {"type", "displayStatusReport"}};
}

std::string BuildResponse(std::int64_t cmdid, int status) {
  json response = {{"cmdid", cmdid}, {"type", "response"}};
  if (status >= 0 && static_cast<std::size_t>(status) < kResponseStatus.size())
    response["status"] = kResponseStatus[static_cast<std::size_t>(status)];
  return SerializeMessage(response);
}

std::string GetSendInstallProgress(const std::string& serial, float percent, int flag,
                                   const std::string& content) {
  json message = BuildReportBase();
  message["type"] = "firmwareUpdateProgress";
  json entry = json::object();
  try {
    entry["index"] = 0;
    entry["serialNumber"] = serial;
    entry["updateProcessInfo"] = {{"updateStatus", static_cast<double>(percent)},
                                  {"updateFlag", flag},
                                  {"updateContent", content},
                                  {"userId", g_nUserId.load()}};
  } catch (...) {
    // The server still hears of the update, with what the entry got.
    LogCaughtException(L"GetSendInstallProgress");
  }
  message["monitorList"] = json::array({std::move(entry)});
  return SerializeMessage(message);
}

std::int64_t GetJsonInt64(const json& object, const std::string& key) {
  return ReadJsonInteger<std::int64_t>(object, key, false);
}

std::int32_t GetJsonInt(const json& object, const std::string& key) {
  return ReadJsonInteger<std::int32_t>(object, key, true);
}

std::int32_t JsonToInt32(const json& value) { return JsonValueToInteger<std::int32_t>(value, "an element", true); }
