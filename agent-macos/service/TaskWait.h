// The wait of the task loops: steps of 0.1 s that a wake-up flag cuts short.
#pragma once

#include <atomic>

// Sets timer to 0 and waits until it reaches interval, adding 0.1 per step; a set wake flag ends
// the wait (at once when it was set before) and is cleared.
void waitWithWakeUp(double interval, std::atomic<bool>& wake, double& timer);
