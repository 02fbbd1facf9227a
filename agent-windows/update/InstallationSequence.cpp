#include "agent-windows/update/InstallationSequence.h"

#include <thread>
#include <utility>

#include "agent-windows/server/ServerMessages.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "agent-windows/update/InstallWorker.h"
#include "agent-windows/update/InstallerArguments.h"
#include "agent-windows/update/PackageExecutable.h"
#include "foundation/log/Log.h"
#include "foundation/text/Paths.h"
#include "foundation/text/TextConversion.h"
#include "foundation/text/UrlEncode.h"

namespace {

constexpr int kDownloadAttempts = 3;

bool DownloadPackage(const std::wstring& url, std::int64_t packageSize, std::wstring& path) {
  for (int attempt = 0; attempt < kDownloadAttempts; ++attempt) {
    if (DownloadFile(url, path, packageSize)) {
      LogInfo(L"Download completed.");
      return true;
    }
    LogError(L"Download failed.");
  }
  return false;
}

}  // namespace

bool RunInstallationSequence(const nlohmann::json& monitorList, UpdateId id) {
  const nlohmann::json& package = monitorList.at(0).at("updatePackageInfo");
  const std::string packageUrl = package.at("packageUrl").get<std::string>();
  std::wstring url = StringToWString(WebSocketMgr::GetInstance()->GetPackageUrl() + UrlEncode(packageUrl));
  LogError(L"Download Start: %ls", url.c_str());
  if (url.rfind(L"http", 0) != 0) url = L"http" + url;
  std::wstring path;
  if (!DownloadPackage(url, GetJsonInt64(package, "packageSize"), path)) return false;
  LogInfo(L"Download Over.");
  LogInfo(L"%s", path.c_str());

  InstallRequest request;
  request.exePath = GetExePathByZip(path, GetExeDirectory() + L"\\TMP_QUELMO\\");
  g_nUserId.store(GetJsonInt(package, "userId"));
  request.Param = BuildInstallerArguments(monitorList);
  LogInfo(L"StartProcessAsSystem exePath=%s, Param=%s.", request.exePath.c_str(), request.Param.c_str());
  std::thread(MyAsyncFunction, std::move(request), id).detach();
  LogInfo(L"StartProcessAsSystem OVER.");
  return true;
}
