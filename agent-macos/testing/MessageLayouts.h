// The layouts of the messages that the macOS agent sends, as the server protocol defines them:
// each kind's keys, no others, and what each holds. For an agent whose computer has a name, so
// "hostName" is always there.
#pragma once

#include <cstdint>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace agentmactest {
namespace layout {

using nlohmann::json;
using Check = std::function<bool(const json&)>;

struct Key {
  std::string name;
  Check check;
};

inline bool Integer(const json& v) { return v.is_number_integer(); }
inline bool Text(const json& v) { return v.is_string(); }
inline Check Is(json expected) {
  return [expected = std::move(expected)](const json& v) { return v == expected; };
}
inline Check Between(std::int64_t low, std::int64_t high) {
  return [=](const json& v) { return v.is_number_integer() && v.get<std::int64_t>() >= low && v.get<std::int64_t>() <= high; };
}
inline Check ArrayOf(Check each, std::size_t most = SIZE_MAX) {
  return [=](const json& v) {
    if (!v.is_array() || v.size() > most) return false;
    for (const json& element : v)
      if (!each(element)) return false;
    return true;
  };
}
inline Check Numbers(std::size_t count) {
  return [=](const json& v) { return v.is_array() && v.size() == count && ArrayOf(Integer)(v); };
}
inline bool NotNegative(const json& v) {
  return v.is_number_unsigned() || (v.is_number_integer() && v.get<std::int64_t>() >= 0);
}

// The first key missing, unexpected or not holding what it should; empty when there is none.
inline std::string Mismatch(const json& object, const std::vector<Key>& keys, const std::string& where) {
  if (!object.is_object()) return where + " is no object: " + object.dump();
  for (const Key& key : keys) {
    if (!object.contains(key.name)) return where + " lacks \"" + key.name + "\": " + object.dump();
    if (!key.check(object[key.name])) return where + " has \"" + key.name + "\" " + object[key.name].dump();
  }
  for (const auto& [name, value] : object.items()) {
    bool known = false;
    for (const Key& key : keys) known = known || key.name == name;
    if (!known) return where + " has the stray key \"" + name + "\"";
  }
  return {};
}

// A status report entry, full or short by whether it carries the capabilities.
inline std::string EntryMismatch(const json& entry, std::int64_t index) {
  static const std::regex version(R"(\d{2,}(\.\d{2,}T)?)");
  std::vector<Key> keys = {
      {"index", Is(index)},
      {"vendorId", Between(0, 0xFFFF)},
      {"productId", Between(0, 0xFFFF)},
      {"serialNumber", Text},
      {"interfaceNumber", Integer},
      {"powerStatus", Between(0, 1)},
      {"monitorStatus", Between(0, 0xFF)},
      {"modelVersion", [](const json& v) { return v.is_string() && std::regex_match(v.get<std::string>(), version); }},
  };
  if (!entry.is_object() || !entry.contains("vcpFuncMap")) {
    keys.push_back({"funcList", ArrayOf(Numbers(3))});  // change records
    return Mismatch(entry, keys, "short entry " + std::to_string(index));
  }
  const Check capability = [](const json& code) {
    return Mismatch(code, {{"vcpCode", Between(0, 0xFFFF)}, {"values", ArrayOf(Between(0, 0xFFFF))}}, "").empty();
  };
  // One cached value per code of the capabilities, in their order.
  const std::size_t codes = entry["vcpFuncMap"].is_array() ? entry["vcpFuncMap"].size() : 0;
  const std::vector<Key> full = {
      {"modelName", Text},
      {"specialId", Text},
      // This agent's one word, or none while the monitor's mutex status has not been read.
      {"mutexInt", ArrayOf(NotNegative, 1)},
      {"useTimes", Integer},
      {"lockStatus", Integer},
      {"funcList", [codes](const json& v) { return v.is_array() && v.size() == codes && ArrayOf(Numbers(4))(v); }},
      {"vcpFuncMap", ArrayOf(capability, 100)},
  };
  keys.insert(keys.end(), full.begin(), full.end());
  return Mismatch(entry, keys, "full entry " + std::to_string(index));
}

}  // namespace layout

// What in this message of the agent departs from its kind's layout; empty when nothing does.
inline std::string LayoutProblem(const nlohmann::json& message) {
  using namespace layout;
  const std::string type = message.is_object() ? message.value("type", "") : "";
  if (type == "response") {
    return Mismatch(message, {{"cmdid", Integer}, {"type", Is("response")}, {"status", Is("ok")}}, "response");
  }
  if (type == "displayStatusReport") {
    const std::string head = Mismatch(
        message, {{"hostName", Text}, {"type", Is(type)}, {"monitorList", [](const json& v) { return v.is_array(); }}},
        type);
    if (!head.empty()) return head;
    for (std::size_t i = 0; i < message["monitorList"].size(); ++i) {
      const std::string entry = EntryMismatch(message["monitorList"][i], static_cast<std::int64_t>(i));
      if (!entry.empty()) return entry;
    }
    return {};
  }
  if (type == "firmwareUpdateProgress") {
    const Check processInfo = [](const json& v) {
      return Mismatch(v,
                      {{"updateStatus", [](const json& n) { return n.is_number(); }},
                       {"updateFlag", Integer},
                       {"updateContent", Text},
                       {"userId", Integer}},
                      "")
          .empty();
    };
    const Check entry = [processInfo](const json& v) {
      return Mismatch(v, {{"index", Is(0)}, {"serialNumber", Text}, {"updateProcessInfo", processInfo}}, "").empty();
    };
    return Mismatch(message,
                    {{"hostName", Text},
                     {"type", Is(type)},
                     {"monitorList", [entry](const json& v) { return v.is_array() && v.size() == 1 && entry(v[0]); }}},
                    type);
  }
  return "no kind the agent sends: " + message.dump();
}

}  // namespace agentmactest
