// The macOS installer double: its program, and the reports of its script (InstallerScript.h),
// each carrying any JSON object as the installer's progress record:
//   {"notify": {"progress": 50, "sn": "$sn", "state": 1, "context": "installing"}}
//                                 the distributed notification "InstallProgressUpdate"
//   {"status": {...}}             the app group's "installStatus" key
// Without "steps" it runs as a typical installer: for each serial number, notifications with
// progress 0, 50 and 100 in state 1.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "testkit/installer/InstallerScript.h"

namespace testkit {

inline constexpr std::string_view kNotificationChannel = "notify";
inline constexpr std::string_view kInstallStatusChannel = "status";

// A "#!/bin/sh" program that starts the double at installerPath with its own path and
// arguments, and carries the script after that line, where the shell never reads.
std::string MacInstallerProgram(const std::string& installerPath, const std::string& scriptJson);

// The report action of one step: the record as an XML property list (PropertyListXml.h), the
// channel its way. Throws std::invalid_argument for a step that is no report.
InstallerAction MacReport(const nlohmann::json& step);

// The plan of the program's script, or of the typical run when it carries none. Throws
// std::invalid_argument for a script that cannot be followed.
InstallerPlan MacPlanForProgram(std::string_view program, const std::vector<std::string>& serials);

}  // namespace testkit
