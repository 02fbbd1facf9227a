#include "testkit/installer/MacScript.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "testkit/installer/PropertyListXml.h"

namespace testkit {

namespace {

using nlohmann::json;

const json& TypicalSteps() {
  static const json steps = json::parse(R"([
    {"eachSerial": [
      {"notify": {"progress": 0, "sn": "$sn", "state": 1, "context": "installing"}},
      {"notify": {"progress": 50, "sn": "$sn", "state": 1, "context": "installing"}},
      {"notify": {"progress": 100, "sn": "$sn", "state": 1, "context": "done"}}]}])");
  return steps;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string MacInstallerProgram(const std::string& installerPath, const std::string& scriptJson) {
  return "#!/bin/sh\nexec " + ShellQuoted(installerPath) + " \"$0\" \"$@\"\n" +
         InstallerScriptPayload(scriptJson);
}

InstallerAction MacReport(const json& step) {
  for (std::string_view channel : {kNotificationChannel, kInstallStatusChannel}) {
    auto record = step.find(std::string(channel));
    if (record == step.end()) continue;
    if (!record->is_object()) throw std::invalid_argument("a progress record must be an object");
    return {PropertyListXml(*record), {}, {}, std::string(channel)};
  }
  throw std::invalid_argument("no report step (notify or status): " + step.dump());
}

InstallerPlan MacPlanForProgram(std::string_view program, const std::vector<std::string>& serials) {
  return PlanForScript(program, serials, TypicalSteps(), MacReport);
}

}  // namespace testkit
