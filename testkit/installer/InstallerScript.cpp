#include "testkit/installer/InstallerScript.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "testkit/installer/InstallerRecord.h"

namespace testkit {

namespace {

using nlohmann::json;

constexpr std::string_view kSerialPlaceholder = "$sn";

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

std::string WithSerial(std::string text, const std::string* serial) {
  if (serial == nullptr) return text;
  for (auto at = text.find(kSerialPlaceholder); at != std::string::npos;
       at = text.find(kSerialPlaceholder, at + serial->size()))
    text.replace(at, kSerialPlaceholder.size(), *serial);
  return text;
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

int IntegerIn(const json& value, int low, int high, const char* what) {
  if (!value.is_number_integer() || value.get<long long>() < low || value.get<long long>() > high)
    throw std::invalid_argument(std::string(what) + " must be an integer in " +
                                std::to_string(low) + ".." + std::to_string(high));
  return value.get<int>();
}

// Values beyond a float's range are left to raw messages.
float RecordValue(const json& step) {
  double value = step.value("value", 0.0);
  if (!(std::fabs(value) <= std::numeric_limits<float>::max()))
    throw std::invalid_argument("record value beyond a float");
  return static_cast<float>(value);
}

void AddSteps(const json& steps, const std::vector<std::string>& serials, const std::string* serial,
              std::vector<InstallerAction>& actions) {
  if (!steps.is_array()) throw std::invalid_argument("steps must be an array");
  for (const json& step : steps) {
    if (!step.is_object()) throw std::invalid_argument("a step must be an object");
    if (step.contains("eachSerial")) {
      for (const std::string& each : serials) AddSteps(step["eachSerial"], serials, &each, actions);
    } else if (step.contains("raw")) {
      actions.push_back({BytesFromHex(step["raw"].get<std::string>()), {}});
    } else if (step.contains("pause")) {
      int pause = IntegerIn(step["pause"], 0, std::numeric_limits<int>::max(), "pause");
      actions.push_back({{}, std::chrono::milliseconds(pause)});
    } else if (step.contains("waitForFile")) {
      std::string file = step["waitForFile"].get<std::string>();
      if (file.empty()) throw std::invalid_argument("waitForFile names no file");
      actions.push_back({{}, {}, file});
    } else if (step.contains("type")) {
      auto type = static_cast<std::uint8_t>(IntegerIn(step["type"], 0, 0xFF, "type"));
      std::string text = WithSerial(step.value("text", std::string()), serial);
      actions.push_back({InstallerRecord(type, text, RecordValue(step)), {}});
    } else {
      throw std::invalid_argument("unknown step: " + step.dump());
    }
  }
}

// The JSON text after the marker, up to its NUL; empty when the image has no script.
std::string_view ScriptText(std::string_view image) {
  auto marker = image.find(kInstallerScriptMarker);
  if (marker == std::string_view::npos) return {};
  std::string_view rest = image.substr(marker + kInstallerScriptMarker.size());
  auto end = rest.find('\0');
  if (end == std::string_view::npos) throw std::invalid_argument("script without its NUL");
  return rest.substr(0, end);
}

}  // namespace

std::string InstallerScriptPayload(const std::string& json) {
  std::string payload(kInstallerScriptMarker);
  payload += json;
  payload.push_back('\0');
  return payload;
}

InstallerPlan PlanForImage(std::string_view image, const std::vector<std::string>& serials) {
  std::string_view text = ScriptText(image);
  json script = text.empty() ? json::object() : json::parse(text, nullptr, false);
  if (!script.is_object()) throw std::invalid_argument("script is no JSON object");
  InstallerPlan plan;
  try {
    AddSteps(script.contains("steps") ? script["steps"] : TypicalSteps(), serials, nullptr,
             plan.actions);
    if (script.contains("exitCode"))
      plan.exitCode = IntegerIn(script["exitCode"], 0, 255, "exitCode");
  } catch (const json::exception& error) {
    throw std::invalid_argument(error.what());
  }
  return plan;
}

}  // namespace testkit
