// SIGINT and SIGTERM stop the agent. The stop logs, waits and locks, none of which a signal
// handler may do, so the handler only wakes a thread that runs it, once.
#pragma once

#include <functional>

// Installs the handlers of SIGINT and then SIGTERM; stop runs on a thread of its own at the first
// signal, and later signals change nothing.
void stopOnSignals(std::function<void()> stop);
