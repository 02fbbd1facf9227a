// A clock whose sleeps return at once, advance its time and are recorded, for tests
// that check the waits of the code under test. Installs itself while alive.
#pragma once

#include <mutex>
#include <vector>

#include "foundation/clock/Clock.h"

namespace testkit {

class FakeClock final : public tarvik::Clock {
 public:
  FakeClock();
  ~FakeClock() override;
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  TimePoint Now() override;
  // Starts at the real calendar time and moves with the fake time.
  WallTime WallNow() override;
  void SleepFor(Duration duration) override;

  // Every sleep so far, in milliseconds, in order.
  std::vector<long long> Sleeps() const;
  long long TotalSleptMs() const;
  void ClearSleeps();
  void Advance(Duration duration);

 private:
  mutable std::mutex m_mutex;
  const TimePoint m_start;
  const WallTime m_wallStart;
  TimePoint m_now;
  std::vector<long long> m_sleeps;
};

}  // namespace testkit
