// What a firmware-update command sets going: the package download and the installer's start.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "agent-windows/update/InstallQueue.h"

// monitorList: the command's array; its first entry's "updatePackageInfo" names the package.
// True when the installer was handed to the install worker, which ends update id when the
// installer's process ends; false when every download attempt failed. Throws the JSON
// library's errors for a missing or mistyped key.
bool RunInstallationSequence(const nlohmann::json& monitorList, UpdateId id);

// Fetches the package into a new temporary file (its path through path) and checks its size
// and signer.
bool DownloadFile(const std::wstring& url, std::wstring& path, std::int64_t expectedSize);
