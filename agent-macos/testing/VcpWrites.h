// The VCP writes among the requests monsim recorded ("requests" of its control commands), for
// tests that check what reached a monitor, in which order and how far apart.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace agentmactest {

struct VcpWrite {
  int code;
  int value;
  long long timeMs;
};

// The DDC/CI frames 51 84 03 code value-high value-low, in the order they came.
inline std::vector<VcpWrite> VcpWritesIn(const nlohmann::json& requests) {
  std::vector<VcpWrite> writes;
  for (const nlohmann::json& request : requests) {
    std::vector<int> bytes;
    const std::string hex = request["payload"];
    for (std::size_t at = 0; at + 1 < hex.size(); at += 3) bytes.push_back(std::stoi(hex.substr(at, 2), nullptr, 16));
    if (bytes.size() >= 6 && bytes[0] == 0x51 && bytes[1] == 0x84 && bytes[2] == 0x03)
      writes.push_back({bytes[3], bytes[4] << 8 | bytes[5], request["timeMs"].get<long long>()});
  }
  return writes;
}

// Code, value, code, value...
inline std::vector<int> CodesAndValues(const std::vector<VcpWrite>& writes) {
  std::vector<int> numbers;
  for (const VcpWrite& write : writes) numbers.insert(numbers.end(), {write.code, write.value});
  return numbers;
}

}  // namespace agentmactest
