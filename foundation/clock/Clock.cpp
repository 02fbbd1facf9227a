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

SystemClock g_systemClock;
std::atomic<Clock*> g_clock{nullptr};

}  // namespace

Clock& CurrentClock() {
  Clock* clock = g_clock.load(std::memory_order_acquire);
  return clock ? *clock : g_systemClock;
}

void SetCurrentClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

}  // namespace tarvik
