#include "agent-macos/testing/MainLoop.h"

#include "platform/macos/CoreFoundation.h"

namespace agentmactest {

bool RunMainLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, true);
  }
  return true;
}

}  // namespace agentmactest
