#include "foundation/clock/Clock.h"

#include <atomic>
#include <thread>

namespace tarvik {
namespace {

class SystemClock final : public Clock {
 public:
  TimePoint Now() override { return std::chrono::steady_clock::now(); }
  WallTime WallNow() override { return std::chrono::system_clock::now(); }
  void SleepFor(Duration duration) override { std::this_thread::sleep_for(duration); }
};

// Never destroyed: threads that a library lets go may still sleep on it while the process exits.
Clock& SystemClockInstance() {
  static Clock* clock = new SystemClock();
  return *clock;
}

std::atomic<Clock*> g_clock{nullptr};

}  // namespace

Clock& CurrentClock() {
  Clock* clock = g_clock.load(std::memory_order_acquire);
  return clock ? *clock : SystemClockInstance();
}

void SetCurrentClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

}  // namespace tarvik
