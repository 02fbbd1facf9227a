#include "platform/macos/internal/DispatchWorkers.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr std::chrono::seconds kIdleLifetime{5};

class Workers {
 public:
  void Run(std::function<void()> job) {
    {
      std::lock_guard lock(m_mutex);
      m_jobs.push_back(std::move(job));
      if (m_jobs.size() > m_idle) {
        std::thread([this] { Serve(); }).detach();
        return;
      }
    }
    m_wake.notify_one();
  }

 private:
  void Serve() {
    std::unique_lock lock(m_mutex);
    for (;;) {
      ++m_idle;
      const bool hasJob = m_wake.wait_for(lock, kIdleLifetime, [this] { return !m_jobs.empty(); });
      --m_idle;
      if (!hasJob) return;
      std::function<void()> job = std::move(m_jobs.front());
      m_jobs.pop_front();
      lock.unlock();
      job();
      // What the job holds goes before the worker waits again.
      job = nullptr;
      lock.lock();
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<std::function<void()>> m_jobs;
  std::size_t m_idle = 0;
};

}  // namespace

namespace macstandin {

void RunOnWorker(std::function<void()> job) {
  // Never destroyed: workers may still be waiting on it while the process ends.
  static Workers* const workers = new Workers;
  workers->Run(std::move(job));
}

}  // namespace macstandin
