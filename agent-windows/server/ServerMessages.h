// The messages the agent sends to the management server, and the integer readers for the ones
// it receives.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

// "userId" of the last firmware command whose package was downloaded: written by the receive
// thread, read by the pipe thread.
extern std::atomic<std::int32_t> g_nUserId;

// The text of every outgoing message: compact, keys sorted, raw UTF-8. Bytes that are not UTF-8
// (a computer name in the ANSI code page, a device's text) become U+FFFD, so they never stop a
// message from going out.
std::string SerializeMessage(const nlohmann::json& message);

// {"hostName": computer name, "type": "displayStatusReport"}.
nlohmann::json BuildReportBase();

// The reply to a command; status 0 "ok", 1 "busy", 2 "heartbeat", 3 "downFileFail", any other
// index leaves "status" out.
std::string BuildResponse(std::int64_t cmdid, int status);

// "firmwareUpdateProgress" for one monitor, with g_nUserId.
std::string GetSendInstallProgress(const std::string& serial, float percent, int flag,
                                   const std::string& content);

// The key's value as an integer, 0 when the key is missing (or the value is no object). A
// fraction is cut toward zero; a value outside the result's range raises json::out_of_range,
// any other type json::type_error. Only the 32-bit reader takes true and false, as 1 and 0.
std::int64_t GetJsonInt64(const nlohmann::json& object, const std::string& key);
std::int32_t GetJsonInt(const nlohmann::json& object, const std::string& key);
// The same for a value of its own, such as an array's element.
std::int32_t JsonToInt32(const nlohmann::json& value);
