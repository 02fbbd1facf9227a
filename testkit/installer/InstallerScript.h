// What an installer double does, read from the program it is started with. A test program
// carries InstallerScriptPayload(json) anywhere in its bytes; the JSON text:
//
//   {"steps": [...], "exitCode": 0}
//
// Steps run in order:
//   {"pause": 250}              a pause in milliseconds
//   {"waitForFile": "/tmp/go"}  a wait (of at most a minute) until the file exists
//   {"eachSerial": [steps]}     the steps for every serial number after "-sn", "$sn" in any of
//                               their texts standing for it
// Every other step is a report, read by the double of each platform (PipeScript.h,
// MacScript.h), which also says what runs without "steps". "exitCode" (0..255, default 0) is
// the process's exit code.
#pragma once

#include <chrono>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace testkit {

inline constexpr std::string_view kInstallerScriptMarker = "TARVIK-INSTALLER-SCRIPT\n";

// The marker, the JSON text and the NUL that ends it.
std::string InstallerScriptPayload(const std::string& json);

// A report to send when message is not empty; else a pause, or a wait for a file when one is
// named.
struct InstallerAction {
  std::string message;
  std::chrono::milliseconds pause{0};
  std::string awaitedFile{};
  // The way the report goes, for a platform that has more than one.
  std::string channel{};
};

struct InstallerPlan {
  std::vector<InstallerAction> actions;
  int exitCode = 0;
};

// The action of one report step, its serial number already put in; throws
// std::invalid_argument for a step it cannot follow.
using ReportReader = std::function<InstallerAction(const nlohmann::json& step)>;

// The plan of the program's script, or of typicalSteps when it carries none. Throws
// std::invalid_argument for a script that cannot be followed.
InstallerPlan PlanForScript(std::string_view program, const std::vector<std::string>& serials,
                            const nlohmann::json& typicalSteps, const ReportReader& readReport);

// The value as an int; throws std::invalid_argument, naming what, when it is no integer in
// low..high.
int ScriptInteger(const nlohmann::json& value, int low, int high, const char* what);

}  // namespace testkit
