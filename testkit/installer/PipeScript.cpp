#include "testkit/installer/PipeScript.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "testkit/installer/InstallerRecord.h"

namespace testkit {

namespace {

using nlohmann::json;

const json& TypicalSteps() {
  // One start and one end for the whole run: the agent drops what it has not yet sent at a
  // start, so a start per monitor would lose the previous monitor's progress.
  static const json steps = json::parse(R"([
    {"type": 1},
    {"eachSerial": [
      {"type": 2, "text": "$sn", "value": 0},
      {"type": 2, "text": "$sn", "value": 50},
      {"type": 2, "text": "$sn", "value": 100}]},
    {"type": 3},
    {"type": 4, "value": 8888}])");
  return steps;
}

std::string BytesFromHex(const std::string& hex) {
  auto digit = [&](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::invalid_argument("not hex: " + hex);
  };
  // An empty message would read as a pause.
  if (hex.empty()) throw std::invalid_argument("raw message without bytes");
  if (hex.size() % 2 != 0) throw std::invalid_argument("odd hex length: " + hex);
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1])));
  return bytes;
}

// Values beyond a float's range are left to raw messages.
float RecordValue(const json& step) {
  double value = step.value("value", 0.0);
  if (!(std::fabs(value) <= std::numeric_limits<float>::max()))
    throw std::invalid_argument("record value beyond a float");
  return static_cast<float>(value);
}

InstallerAction PipeMessage(const json& step) {
  if (step.contains("raw")) return {BytesFromHex(step["raw"].get<std::string>())};
  if (!step.contains("type")) throw std::invalid_argument("unknown step: " + step.dump());
  auto type = static_cast<std::uint8_t>(ScriptInteger(step["type"], 0, 0xFF, "type"));
  return {InstallerRecord(type, step.value("text", std::string()), RecordValue(step))};
}

}  // namespace

InstallerPlan PlanForImage(std::string_view image, const std::vector<std::string>& serials) {
  return PlanForScript(image, serials, TypicalSteps(), PipeMessage);
}

}  // namespace testkit
