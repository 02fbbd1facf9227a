#include "testkit/clock/FakeClock.h"

#include <numeric>

namespace testkit {

FakeClock::FakeClock()
    : m_start(std::chrono::steady_clock::now()),
      m_wallStart(std::chrono::system_clock::now()),
      m_now(m_start) {
  tarvik::SetCurrentClock(this);
}

FakeClock::~FakeClock() { tarvik::SetCurrentClock(nullptr); }

FakeClock::TimePoint FakeClock::Now() {
  std::lock_guard lock(m_mutex);
  return m_now;
}

FakeClock::WallTime FakeClock::WallNow() {
  std::lock_guard lock(m_mutex);
  return m_wallStart + std::chrono::duration_cast<std::chrono::system_clock::duration>(m_now - m_start);
}

void FakeClock::SleepFor(Duration duration) {
  std::lock_guard lock(m_mutex);
  m_sleeps.push_back(duration.count());
  m_now += duration;
}

std::vector<long long> FakeClock::Sleeps() const {
  std::lock_guard lock(m_mutex);
  return m_sleeps;
}

long long FakeClock::TotalSleptMs() const {
  std::lock_guard lock(m_mutex);
  return std::accumulate(m_sleeps.begin(), m_sleeps.end(), 0LL);
}

void FakeClock::ClearSleeps() {
  std::lock_guard lock(m_mutex);
  m_sleeps.clear();
}

void FakeClock::Advance(Duration duration) {
  std::lock_guard lock(m_mutex);
  m_now += duration;
}

}  // namespace testkit
