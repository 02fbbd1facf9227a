// TarvikService, the macOS agent: a background process that keeps the monitors reported to the
// management server until SIGINT or SIGTERM stops it.
#include "agent-macos/service/StopSignals.h"
#include "agent-macos/service/TarvikService.h"
#include "platform/macos/CoreFoundation.h"

namespace {

// Set once, never cleared: the agent lives as long as the process.
TarvikService* g_service = nullptr;

}  // namespace

int main() {
  g_service = new TarvikService;
  stopOnSignals([] { g_service->stopService(); });
  g_service->startService();
  CFRunLoopRun();
  return 0;
}
