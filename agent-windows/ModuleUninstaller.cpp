#include "agent-windows/ModuleUninstaller.h"

#include <string>

#include "foundation/process/ProcessLaunch.h"
#include "foundation/text/Paths.h"

void RunModuleUninstaller() {
  std::wstring folder = GetExeDirectory();
  AppendBackslash(folder);
  // Whether it starts is not the agent's concern: the removal has been done.
  LaunchProcess(folder + L"Pennorak.exe", L"/uninstall", true);
}
