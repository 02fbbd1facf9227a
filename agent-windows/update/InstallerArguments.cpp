#include "agent-windows/update/InstallerArguments.h"

#include <cstdint>

#include "agent-windows/server/ServerMessages.h"
#include "foundation/log/Log.h"
#include "foundation/text/TextConversion.h"
#include "foundation/text/TimeText.h"

namespace {

// The installer's options for each "updateType"; other values give none.
std::string UpdateTypeOption(std::int32_t updateType, std::int64_t updateTime) {
  switch (updateType) {
    case 1: {
      const std::string when = ConvertJavaTimestampToString(updateTime);
      if (when.empty()) {
        LogInfo(L"ConvertJavaTimestampToString Error.");
        return {};
      }
      return " -set_task_time " + when;
    }
    case 2:
      return {};
    case 3:
      return " nosigal";
    case 4:
      return " disconnect";
    default:
      LogError(L"Java Update type Error.");
      return {};
  }
}

}  // namespace

std::wstring BuildInstallerArguments(const nlohmann::json& monitorList) {
  const nlohmann::json& package = monitorList.at(0).at("updatePackageInfo");
  std::string arguments = "-no_delay";
  if (GetJsonInt(package, "silentFlag") == 1) arguments += " -console";
  arguments += UpdateTypeOption(GetJsonInt(package, "updateType"), GetJsonInt64(package, "updateTime"));
  LogInfo(L"StartProcessAsSystem Start.");
  const char* separator = " -sn ";
  for (const nlohmann::json& monitor : monitorList) {
    arguments += separator + monitor.at("serialNumber").get<std::string>();
    separator = " ";
  }
  return StringToWString(arguments);
}
