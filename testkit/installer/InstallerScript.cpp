#include "testkit/installer/InstallerScript.h"

#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace testkit {

namespace {

using nlohmann::json;

constexpr std::string_view kSerialPlaceholder = "$sn";

std::string WithSerial(std::string text, const std::string& serial) {
  for (auto at = text.find(kSerialPlaceholder); at != std::string::npos;
       at = text.find(kSerialPlaceholder, at + serial.size()))
    text.replace(at, kSerialPlaceholder.size(), serial);
  return text;
}

// Every text of the step, however deeply nested; keys stay as they are.
json WithSerial(const json& step, const std::string* serial) {
  if (serial == nullptr) return step;
  if (step.is_string()) return WithSerial(step.get<std::string>(), *serial);
  if (!step.is_structured()) return step;
  json result = step;
  for (auto& member : result) member = WithSerial(member, serial);
  return result;
}

void AddSteps(const json& steps, const std::vector<std::string>& serials, const std::string* serial,
              const ReportReader& readReport, std::vector<InstallerAction>& actions) {
  if (!steps.is_array()) throw std::invalid_argument("steps must be an array");
  for (const json& each : steps) {
    if (!each.is_object()) throw std::invalid_argument("a step must be an object");
    if (each.contains("eachSerial")) {
      for (const std::string& number : serials)
        AddSteps(each["eachSerial"], serials, &number, readReport, actions);
      continue;
    }
    const json step = WithSerial(each, serial);
    if (step.contains("pause")) {
      int pause = ScriptInteger(step["pause"], 0, std::numeric_limits<int>::max(), "pause");
      actions.push_back({{}, std::chrono::milliseconds(pause)});
    } else if (step.contains("waitForFile")) {
      std::string file = step["waitForFile"].get<std::string>();
      if (file.empty()) throw std::invalid_argument("waitForFile names no file");
      actions.push_back({{}, {}, file});
    } else {
      actions.push_back(readReport(step));
    }
  }
}

// The JSON text after the marker, up to its NUL; empty when the program has no script.
std::string_view ScriptText(std::string_view program) {
  auto marker = program.find(kInstallerScriptMarker);
  if (marker == std::string_view::npos) return {};
  std::string_view rest = program.substr(marker + kInstallerScriptMarker.size());
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

int ScriptInteger(const json& value, int low, int high, const char* what) {
  if (!value.is_number_integer() || value.get<long long>() < low || value.get<long long>() > high)
    throw std::invalid_argument(std::string(what) + " must be an integer in " +
                                std::to_string(low) + ".." + std::to_string(high));
  return value.get<int>();
}

InstallerPlan PlanForScript(std::string_view program, const std::vector<std::string>& serials,
                            const json& typicalSteps, const ReportReader& readReport) {
  std::string_view text = ScriptText(program);
  json script = text.empty() ? json::object() : json::parse(text, nullptr, false);
  if (!script.is_object()) throw std::invalid_argument("script is no JSON object");
  InstallerPlan plan;
  try {
    AddSteps(script.contains("steps") ? script["steps"] : typicalSteps, serials, nullptr,
             readReport, plan.actions);
    if (script.contains("exitCode"))
      plan.exitCode = ScriptInteger(script["exitCode"], 0, 255, "exitCode");
  } catch (const json::exception& error) {
    throw std::invalid_argument(error.what());
  }
  return plan;
}

}  // namespace testkit
