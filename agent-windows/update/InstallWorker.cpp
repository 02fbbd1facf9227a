#include "agent-windows/update/InstallWorker.h"

#include "agent-windows/pipe/ServerIPC.h"
#include "agent-windows/server/CommandHandler.h"
#include "foundation/log/Log.h"
#include "foundation/process/ProcessLaunch.h"

namespace {

// Long enough for the records an installer wrote just before it ended.
constexpr std::uint32_t kInstallerRecordsMs = 2000;

}  // namespace

unsigned MyAsyncFunction(InstallRequest request, UpdateId id) {
  LogInfo(L"MyAsyncFunction   ");
  MarkInstallerStarting(id);
  if (StartProcessAsSystem(request.exePath, request.Param, true))
    LogInfo(L"Execution completed successfully.");
  else
    LogError(L"Execution failed.");
  // Its exit record or failure must not meet an update that has already ended.
  WaitForInstallerToLeave(kInstallerRecordsMs);
  EndFirmwareUpdate(id);
  return 0;
}
