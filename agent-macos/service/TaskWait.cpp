#include "agent-macos/service/TaskWait.h"

#include "foundation/clock/Clock.h"

void waitWithWakeUp(double interval, std::atomic<bool>& wake, double& timer) {
  timer = 0.0;
  if (!wake) {
    // The sum of the steps is just below 10.0 after 100 of them, so 10 s take 101 steps.
    while (timer < interval) {
      tarvik::SleepMs(100);
      timer += 0.1;
      if (wake) break;
    }
  }
  wake = false;
}
