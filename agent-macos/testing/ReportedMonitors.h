// The monitors as the status reports that a management server double received show them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "testkit/mgmt-server/MgmtServer.h"

namespace agentmactest {

// Where the report lists this serial's entry, so the "index" it must carry (the agent lists its
// monitors in an order of its own); -1 when it has none.
inline int PositionOf(const nlohmann::json& report, const std::string& serial) {
  if (!report.contains("monitorList") || !report["monitorList"].is_array()) return -1;
  const nlohmann::json& list = report["monitorList"];
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].is_object() && list[i].value("serialNumber", "") == serial) return static_cast<int>(i);
  return -1;
}

// The entry of this serial in a report, null when it has none.
inline nlohmann::json EntryOf(const nlohmann::json& report, const std::string& serial) {
  const int position = PositionOf(report, serial);
  return position < 0 ? nlohmann::json() : report["monitorList"][static_cast<std::size_t>(position)];
}

// Only the full form carries the capabilities.
inline bool IsFull(const nlohmann::json& entry) { return entry.is_object() && entry.contains("vcpFuncMap"); }

// The status reports among messages, oldest first.
inline std::vector<nlohmann::json> ReportsIn(const std::vector<testkit::MgmtMessage>& messages) {
  std::vector<nlohmann::json> reports;
  for (const testkit::MgmtMessage& m : messages) {
    nlohmann::json message = nlohmann::json::parse(m.data, nullptr, false);
    if (message.is_object() && message.value("type", "") == "displayStatusReport") reports.push_back(std::move(message));
  }
  return reports;
}

// The entries of this serial in the status reports among messages, oldest first.
inline std::vector<nlohmann::json> EntriesOf(const std::vector<testkit::MgmtMessage>& messages,
                                             const std::string& serial) {
  std::vector<nlohmann::json> entries;
  for (const nlohmann::json& report : ReportsIn(messages)) {
    nlohmann::json entry = EntryOf(report, serial);
    if (!entry.is_null()) entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace agentmactest
