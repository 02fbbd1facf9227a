// The monitors as the status reports that a management server double received show them.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testkit/mgmt-server/MgmtServer.h"

namespace agentmactest {

// The entry of this serial in a report, null when it has none.
inline nlohmann::json EntryOf(const nlohmann::json& report, const std::string& serial) {
  if (!report.contains("monitorList") || !report["monitorList"].is_array()) return nullptr;
  for (const nlohmann::json& entry : report["monitorList"])
    if (entry.is_object() && entry.value("serialNumber", "") == serial) return entry;
  return nullptr;
}

// Only the full form carries the capabilities.
inline bool IsFull(const nlohmann::json& entry) { return entry.is_object() && entry.contains("vcpFuncMap"); }

// The entries of this serial in the status reports among messages, oldest first.
inline std::vector<nlohmann::json> EntriesOf(const std::vector<testkit::MgmtMessage>& messages,
                                             const std::string& serial) {
  std::vector<nlohmann::json> entries;
  for (const testkit::MgmtMessage& m : messages) {
    const nlohmann::json message = nlohmann::json::parse(m.data, nullptr, false);
    if (!message.is_object() || message.value("type", "") != "displayStatusReport") continue;
    nlohmann::json entry = EntryOf(message, serial);
    if (!entry.is_null()) entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace agentmactest
