// send-system-event: posts one system message to every top-level window of the machine, as
// Windows does for display, device, power and session events. Run it without arguments for
// the list of events.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/internal/TopLevelWindows.h"
#include "testkit/sysevents/SystemEvents.h"

int main(int argc, char** argv) {
  std::optional<sysevents::SystemMessage> message =
      sysevents::MessageForArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!message) {
    std::fputs(sysevents::kUsage, stderr);
    return 2;
  }
  std::size_t reached = win32::PostToTopLevelWindows(message->message, message->wParam, message->lParam);
  std::printf("posted to %zu window%s\n", reached, reached == 1 ? "" : "s");
  return 0;
}
