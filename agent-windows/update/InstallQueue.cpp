#include "agent-windows/update/InstallQueue.h"

#include <deque>
#include <mutex>

#include "foundation/log/Log.h"

std::atomic<bool> g_bIsUpdating{false};
std::atomic<bool> g_bIsInstall{false};

namespace {

// Never destroyed: the install worker or the pipe thread may still take from it at exit.
struct InstallList {
  std::mutex mutex;
  std::deque<std::string> g_Install_list;  // oldest first
  UpdateId current = 0;                   // the update being handled, or the last one; ids start at 1
  bool installerStarting = false;         // the current update's installer has been started
};

InstallList& TheInstallList() {
  static InstallList* list = new InstallList();
  return *list;
}

// Under the list's lock.
UpdateId BeginUpdate(InstallList& list) {
  g_bIsUpdating.store(true);
  list.installerStarting = false;
  return ++list.current;
}

// Under the list's lock.
void ClearUpdateFlags() {
  g_bIsUpdating.store(false);
  g_bIsInstall.store(false);
}

}  // namespace

std::optional<UpdateId> QueueWhileUpdating(const std::string& text) {
  InstallList& list = TheInstallList();
  std::lock_guard<std::mutex> lock(list.mutex);
  if (g_bIsUpdating.load()) {
    list.g_Install_list.push_back(text);
    return std::nullopt;
  }
  return BeginUpdate(list);
}

std::optional<TakenInstallCommand> TakeNextInstallCommand() {
  InstallList& list = TheInstallList();
  std::lock_guard<std::mutex> lock(list.mutex);
  if (list.g_Install_list.empty() || g_bIsUpdating.load()) return std::nullopt;
  LogInfo(L"g_Install_list.size() :%d\n", static_cast<int>(list.g_Install_list.size()));
  TakenInstallCommand taken{BeginUpdate(list), std::move(list.g_Install_list.front())};
  list.g_Install_list.pop_front();
  return taken;
}

void MarkInstallerStarting(UpdateId id) {
  InstallList& list = TheInstallList();
  std::lock_guard<std::mutex> lock(list.mutex);
  if (list.current == id) list.installerStarting = true;
}

bool EndUpdate(UpdateId id) {
  InstallList& list = TheInstallList();
  std::lock_guard<std::mutex> lock(list.mutex);
  if (!g_bIsUpdating.load() || list.current != id) return false;
  ClearUpdateFlags();
  return true;
}

std::optional<UpdateId> UpdateWithStartedInstaller() {
  InstallList& list = TheInstallList();
  std::lock_guard<std::mutex> lock(list.mutex);
  if (!g_bIsUpdating.load() || !list.installerStarting) return std::nullopt;
  return list.current;
}
