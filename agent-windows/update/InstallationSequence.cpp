#include "agent-windows/update/InstallationSequence.h"

#include "agent-windows/server/ServerMessages.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "foundation/log/Log.h"
#include "foundation/text/TextConversion.h"
#include "foundation/text/UrlEncode.h"

namespace {

constexpr int kDownloadAttempts = 3;

}  // namespace

bool RunInstallationSequence(const nlohmann::json& monitorList, UpdateId /*id*/) {
  const nlohmann::json& package = monitorList.at(0).at("updatePackageInfo");
  const std::string packageUrl = package.at("packageUrl").get<std::string>();
  std::wstring url = StringToWString(WebSocketMgr::GetInstance()->GetPackageUrl() + UrlEncode(packageUrl));
  LogError(L"Download Start: %ls", url.c_str());
  if (url.rfind(L"http", 0) != 0) url = L"http" + url;
  const std::int64_t packageSize = GetJsonInt64(package, "packageSize");
  std::wstring path;
  for (int attempt = 0; attempt < kDownloadAttempts; ++attempt) {
    if (DownloadFile(url, path, packageSize)) {
      LogInfo(L"Download completed.");
      return true;
    }
    LogError(L"Download failed.");
  }
  return false;
}

// The package download over WinHTTP is not built yet: every attempt fails, so a firmware
// command is answered "downFileFail".
bool DownloadFile(const std::wstring& /*url*/, std::wstring& /*path*/, std::int64_t /*expectedSize*/) {
  return false;
}
