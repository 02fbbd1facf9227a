#include "testkit/clock/ScaledClock.h"

#include <thread>

namespace testkit {

ScaledClock::ScaledClock(int scale)
    : m_scale(scale > 0 ? scale : 1),
      m_start(std::chrono::steady_clock::now()),
      m_wallStart(std::chrono::system_clock::now()) {
  tarvik::SetCurrentClock(this);
}

ScaledClock::~ScaledClock() { tarvik::SetCurrentClock(nullptr); }

ScaledClock::TimePoint ScaledClock::Now() {
  return m_start + (std::chrono::steady_clock::now() - m_start) * m_scale;
}

ScaledClock::WallTime ScaledClock::WallNow() {
  return m_wallStart + std::chrono::duration_cast<std::chrono::system_clock::duration>(Now() - m_start);
}

void ScaledClock::SleepFor(Duration duration) { std::this_thread::sleep_for(duration / m_scale); }

}  // namespace testkit
