// The report entries a test expects of a monitor as monsim's monitor files describe them
// (testkit/monsim/monitors/two-monitors.json, a1-b2.json), in the full and the short form: the
// IDs, version and capabilities that all those monitors share.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace agentmactest {

inline nlohmann::json FullEntry(int index, const std::string& serial, const std::string& model, int brightness,
                                int contrast, int useTimes) {
  using nlohmann::json;
  return {{"index", index},
          {"vendorId", 0x3A71},
          {"productId", 0xF00F},
          {"serialNumber", serial},
          {"interfaceNumber", -1},
          {"powerStatus", 1},
          {"monitorStatus", 0},
          {"modelVersion", "03.12T"},
          {"modelName", model},
          {"specialId", "A1"},
          {"mutexInt", json::array({2 << 16})},
          {"useTimes", useTimes},
          {"lockStatus", 0},
          {"funcList", {{16, brightness, 100, 0}, {18, contrast, 100, 0}, {248, 5, 1, 1}}},
          {"vcpFuncMap",
           {{{"vcpCode", 16}, {"values", json::array()}},
            {{"vcpCode", 18}, {"values", json::array()}},
            {{"vcpCode", 0xF805}, {"values", {0, 1}}}}}};
}

inline nlohmann::json ShortEntry(int index, const std::string& serial, int powerStatus,
                                 nlohmann::json funcList = nlohmann::json::array()) {
  return {{"index", index},         {"vendorId", 0x3A71},       {"productId", 0xF00F},
          {"serialNumber", serial}, {"interfaceNumber", -1},    {"powerStatus", powerStatus},
          {"monitorStatus", 0},     {"modelVersion", "03.12T"}, {"funcList", std::move(funcList)}};
}

}  // namespace agentmactest
