// What every installer double does around its reports: record how it was started, read the plan
// of its program's script for the serial numbers in its arguments, and follow it.
#pragma once

#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testkit/installer/InstallerScript.h"

namespace testkit {

// Appends the record as one JSON line to the file named by TARVIK_INSTALLER_RECORD (when set),
// in one write, so that installers started together do not mix their lines.
void RecordLaunch(const nlohmann::json& record);

// A platform's planner: PlanForImage (PipeScript.h) or MacPlanForProgram (MacScript.h).
using Planner = InstallerPlan (*)(std::string_view program, const std::vector<std::string>& serials);

// The plan of the program at path for the serial numbers after "-sn" in arguments; nullopt,
// after a line on stderr naming tool, when the program cannot be read or its script cannot be
// followed.
std::optional<InstallerPlan> ReadPlan(const char* tool, const std::string& path,
                                      const std::vector<std::string>& arguments, Planner planFor);

// Runs the actions in order, handing each report to send.
void FollowPlan(const InstallerPlan& plan, const std::function<void(const InstallerAction&)>& send);

}  // namespace testkit
