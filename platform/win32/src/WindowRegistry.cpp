#include "platform/win32/src/WindowRegistry.h"

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

#include "platform/win32/src/WindowFolder.h"

namespace win32 {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<HWND, WindowRecord> windows;
};

// Never destroyed: window threads may still run while the process ends.
Registry& TheRegistry() {
  static auto* registry = new Registry;
  return *registry;
}

// Takes the thread's windows with it when the thread ends.
class ThreadWindows {
 public:
  ~ThreadWindows() {
    if (!queue) return;
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    for (auto it = registry.windows.begin(); it != registry.windows.end();) {
      if (it->second.queue == queue) {
        RemoveWindowEntry(queue->Folder(), it->first);
        it = registry.windows.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::shared_ptr<WindowQueue> queue;
};

thread_local ThreadWindows t_windows;

}  // namespace

std::shared_ptr<WindowQueue> ThreadQueue(bool create) {
  if (!t_windows.queue && create) t_windows.queue = WindowQueue::Create();
  return t_windows.queue;
}

HWND NewWindowHandle() {
  static_assert(sizeof(HWND) == 8, "a handle holds the process id and a counter");
  static std::atomic<std::uint32_t> s_counter{0};
  std::uint64_t value = static_cast<std::uint64_t>(getpid()) << 32 | ++s_counter;
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
}

void AddWindowRecord(HWND window, WindowRecord record) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.windows[window] = std::move(record);
}

void RemoveWindowRecord(HWND window) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.windows.erase(window);
}

std::optional<WindowRecord> FindWindowRecord(HWND window) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  auto it = registry.windows.find(window);
  if (it == registry.windows.end()) return std::nullopt;
  return it->second;
}

std::optional<bool> SetWindowVisible(HWND window, bool visible) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  auto it = registry.windows.find(window);
  if (it == registry.windows.end()) return std::nullopt;
  return std::exchange(it->second.visible, visible);
}

}  // namespace win32
