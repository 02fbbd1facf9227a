// A clock for threaded tests of loops with long fixed waits: every sleep really waits, but a
// scale times shorter, and the clock's time runs that many times faster than real time.
// Installs itself while alive.
#pragma once

#include "foundation/clock/Clock.h"

namespace testkit {

class ScaledClock final : public tarvik::Clock {
 public:
  explicit ScaledClock(int scale);
  ~ScaledClock() override;
  ScaledClock(const ScaledClock&) = delete;
  ScaledClock& operator=(const ScaledClock&) = delete;

  TimePoint Now() override;
  WallTime WallNow() override;
  void SleepFor(Duration duration) override;

 private:
  const int m_scale;
  const TimePoint m_start;
  const WallTime m_wallStart;
};

}  // namespace testkit
