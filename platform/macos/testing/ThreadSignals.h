// Meeting points for the threads of a test: a gate that holds them back, a tally they count on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace macstandin::testing {

// Only a net for a broken build: nothing below is expected to come near it.
inline constexpr auto kSafetyLimit = std::chrono::seconds(60);

// Shut until opened; those who pass it wait until then.
class Gate {
 public:
  // Notifies under the lock: a waiter that sees the gate open may free it at once.
  void Open() {
    std::lock_guard lock(m_mutex);
    m_open = true;
    m_opened.notify_all();
  }
  // False when the gate stayed shut for the whole safety limit.
  bool Pass() {
    std::unique_lock lock(m_mutex);
    return m_opened.wait_for(lock, kSafetyLimit, [this] { return m_open; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_opened;
  bool m_open = false;
};

// Counts what happened, for a test to wait on.
class Tally {
 public:
  // Notifies under the lock, as Gate::Open does.
  void Add() {
    std::lock_guard lock(m_mutex);
    ++m_count;
    m_changed.notify_all();
  }
  int Count() {
    std::lock_guard lock(m_mutex);
    return m_count;
  }
  // False when the count stayed below target for the whole safety limit.
  bool Reaches(int target) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, kSafetyLimit, [&] { return m_count >= target; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  int m_count = 0;
};

}  // namespace macstandin::testing
