// The texts of "displayStatusReport": the report around its entries, and each entry in its
// full form (read from the device) or reduced form (from the registry alone).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "agent-windows/monitors/MonitorRegistry.h"

// One code of the model's enabled features, as its capability string lists it ("vcpFuncMap").
struct VcpValueList {
  std::uint16_t vcpCode = 0;  // a code of the 0xF8 page carries 0xF8 in its high byte
  std::vector<std::uint16_t> values;
};

// One current value ("funcList"): [code, current, maximum], or [248, sub-code, current, maximum].
struct VcpReading {
  std::array<std::int32_t, 4> values{};
  std::uint8_t count = 0;
};

struct FullStatusEntry {
  int index = 0;
  std::int32_t vendorId = 0;
  std::int32_t productId = 0;
  std::string serialNumber;
  std::int32_t interfaceNumber = 0;
  int powerStatus = 0;
  std::uint8_t monitorStatus = 0;
  std::string modelName;
  std::string specialId;
  std::string modelVersion;
  std::uint32_t mutexInt = 0;
  std::int32_t useTimes = 0;
  std::int32_t lockStatus = 0;
  std::vector<VcpValueList> vcpFuncMap;
  std::vector<VcpReading> funcList;
};

std::string FullStatusEntryText(const FullStatusEntry& entry);
// changes: the monitor's VCP change records, or null for none (then no "funcList").
std::string ReducedStatusEntryText(int index, const MonitorState& state, const nlohmann::json& changes);
// {"hostName": computer name, "monitorList": [entries], "type": "displayStatusReport"}.
std::string StatusReportText(const std::vector<std::string>& entries);
