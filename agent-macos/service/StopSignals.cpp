#include "agent-macos/service/StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "agent-macos/log/Log.h"

namespace {

int g_wakePipe[2] = {-1, -1};

void onSignal(int) {
  const int saved = errno;
  char signalled = 1;
  // A full pipe already holds a wake-up.
  [[maybe_unused]] ssize_t ignored = ::write(g_wakePipe[1], &signalled, 1);
  errno = saved;
}

}  // namespace

void stopOnSignals(std::function<void()> stop) {
  if (::pipe(g_wakePipe) != 0) {
    Utils::logError("No pipe for the stop signals: SIGINT and SIGTERM end the process at once.");
    return;
  }
  ::fcntl(g_wakePipe[1], F_SETFL, O_NONBLOCK);
  std::thread([stop = std::move(stop)] {
    char signalled;
    ssize_t got;
    while ((got = ::read(g_wakePipe[0], &signalled, 1)) < 0 && errno == EINTR) {
    }
    // Only a signal stops the agent, never a broken pipe.
    if (got == 1) stop();
  }).detach();
  ::signal(SIGINT, onSignal);
  ::signal(SIGTERM, onSignal);
}
