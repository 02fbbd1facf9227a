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
};

InstallList& TheInstallList() {
  static InstallList* list = new InstallList();
  return *list;
}

}  // namespace

bool QueueWhileUpdating(const std::string& text) {
  InstallList& list = TheInstallList();
  std::lock_guard<std::mutex> lock(list.mutex);
  if (g_bIsUpdating.load()) {
    list.g_Install_list.push_back(text);
    return true;
  }
  g_bIsUpdating.store(true);
  return false;
}

std::optional<std::string> TakeNextInstallCommand() {
  InstallList& list = TheInstallList();
  std::lock_guard<std::mutex> lock(list.mutex);
  if (list.g_Install_list.empty()) return std::nullopt;
  LogInfo(L"g_Install_list.size() :%d\n", static_cast<int>(list.g_Install_list.size()));
  std::string text = std::move(list.g_Install_list.front());
  list.g_Install_list.pop_front();
  return text;
}
