// The argument text an update package's installer is started with.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

// From a firmware command's "monitorList": the options of its first entry's
// "updatePackageInfo", then " -sn " and every entry's "serialNumber" separated by blanks.
// Throws the JSON library's errors for a missing or mistyped serial number or option.
std::wstring BuildInstallerArguments(const nlohmann::json& monitorList);
