// The one clock and sleep behind every fixed wait of the system, so tests can run the
// waits instantly and still see what was waited.
#pragma once

#include <chrono>
#include <cstdint>

namespace tarvik {

class Clock {
 public:
  using Duration = std::chrono::milliseconds;
  using TimePoint = std::chrono::steady_clock::time_point;
  using WallTime = std::chrono::system_clock::time_point;

  virtual ~Clock() = default;
  virtual TimePoint Now() = 0;
  // The calendar time, for the seconds-since-epoch stamps that the agent compares.
  virtual WallTime WallNow() = 0;
  virtual void SleepFor(Duration duration) = 0;
};

// The process-wide clock: the real one unless a test installed another.
Clock& CurrentClock();
// Installs a clock (null restores the real one). The caller keeps it alive while installed.
void SetCurrentClock(Clock* clock);

inline void SleepMs(std::uint32_t milliseconds) {
  CurrentClock().SleepFor(Clock::Duration(milliseconds));
}

}  // namespace tarvik
