#include "testkit/mgmt-server/MessageSummary.h"

#include <algorithm>
#include <sstream>

#include <nlohmann/json.hpp>

namespace testkit {
namespace {

using nlohmann::json;

std::string Hex(const json& code) {
  std::ostringstream out;
  out << std::uppercase << std::hex << code.get<long long>();
  return out.str();
}

// "VCP 10=50 12=70 F8/05=1" of [code, value, ...] or [0xF8, subCode, value, ...] entries.
std::string Settings(const json& funcList) {
  std::string text;
  for (const json& entry : funcList) {
    if (!entry.is_array() || entry.size() < 2) continue;
    const bool extended = entry[0] == 0xF8 && entry.size() >= 3;
    text += " " + Hex(entry[0]) + (extended ? "/" + Hex(entry[1]) + "=" + entry[2].dump() : "=" + entry[1].dump());
  }
  return text.empty() ? "" : " VCP" + text;
}

std::string FullEntry(const json& monitor) {
  return monitor.value("serialNumber", "?") + " (" + monitor.value("modelName", "?") + ", firmware " +
         monitor.value("modelVersion", "?") + "," + Settings(monitor.value("funcList", json::array())) + ")";
}

// Each entry on its own: an agent may send full and short entries in one report.
std::string Report(const json& message) {
  const json& monitors = message.value("monitorList", json::array());
  if (monitors.empty()) return "heartbeat: 0 monitor(s)";
  const bool allFull =
      std::all_of(monitors.begin(), monitors.end(), [](const json& m) { return m.contains("vcpFuncMap"); });
  std::string text = allFull ? "full report:" : "heartbeat: " + std::to_string(monitors.size()) + " monitor(s)";
  for (const json& monitor : monitors) {
    const std::string serial = monitor.value("serialNumber", "?");
    if (allFull) {
      text += " " + FullEntry(monitor);
      continue;
    }
    if (monitor.contains("vcpFuncMap")) text += "; in full " + FullEntry(monitor);
    else if (!monitor.value("funcList", json::array()).empty())
      text += "; " + serial + " changed" + Settings(monitor["funcList"]);
    if (monitor.value("powerStatus", 1) == 0) text += "; " + serial + " is off";
  }
  return text;
}

std::string Applied(const json& message) {
  std::string text = "applied:";
  for (const json& entry : message.value("monitorList", json::array()))
    text += " " + entry.value("serialNumber", "?") + Settings(entry.value("funcList", json::array()));
  return text;
}

std::string Progress(const json& message) {
  std::string text = "firmware update:";
  for (const json& entry : message.value("monitorList", json::array())) {
    const json& info = entry.value("updateProcessInfo", json::object());
    text += " " + entry.value("serialNumber", "?") + " " + info.value("updateStatus", json(0)).dump() + "%";
    if (info.value("updateFlag", 1) == 0) text += " failed (" + info.value("updateContent", "") + ")";
  }
  return text;
}

}  // namespace

std::string SummarizeAgentMessage(const std::string& text) {
  const json message = json::parse(text, nullptr, false);
  if (!message.is_object() || !message.contains("type") || !message["type"].is_string()) return text;
  try {
    const std::string type = message["type"];
    if (type == "displayStatusReport") return Report(message);
    if (type == "VcpState") return Applied(message);
    if (type == "firmwareUpdateProgress") return Progress(message);
    if (type == "response")
      return "answer to command " + message.value("cmdid", json()).dump() + ": " + message.value("status", "?");
  } catch (const json::exception&) {
    // A member of an unexpected kind: shown as it came.
  }
  return text;
}

std::string SummaryLine(const MgmtUpgrade& upgrade, const std::string& text) {
  auto sn = upgrade.headers.find("sn");
  const std::string mark = sn == upgrade.headers.end() || sn->second.empty() ? "no SN" : sn->second;
  return "[" + mark + "] " + SummarizeAgentMessage(text);
}

}  // namespace testkit
