#include "testkit/monsim/MessageTimers.h"

#include <condition_variable>
#include <thread>
#include <utility>

#include "testkit/monsim/Simulator.h"

namespace monsim {

class MessageTimers::Timer {
 public:
  Timer(Simulator& simulator, std::string id, DeviceMessage message, std::chrono::milliseconds interval)
      : m_thread([this, &simulator, id = std::move(id), message = std::move(message), interval] {
          std::unique_lock lock(m_mutex);
          while (!m_wake.wait_for(lock, interval, [this] { return m_stop; })) {
            lock.unlock();
            simulator.EmitMessage(id, message);
            lock.lock();
          }
        }) {}

  ~Timer() {
    {
      std::lock_guard lock(m_mutex);
      m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_stop = false;
  std::thread m_thread;  // last: it starts once the members it uses exist
};

MessageTimers::MessageTimers(Simulator& simulator) : m_simulator(simulator) {}

MessageTimers::~MessageTimers() = default;

void MessageTimers::Start(const std::string& id, const DeviceMessage& message, std::chrono::milliseconds interval) {
  auto timer = std::make_unique<Timer>(m_simulator, id, message, interval);
  std::lock_guard lock(m_mutex);
  m_timers.emplace(id, std::move(timer));
}

bool MessageTimers::Stop(const std::string& id) {
  std::multimap<std::string, std::unique_ptr<Timer>> ended;
  {
    std::lock_guard lock(m_mutex);
    auto [first, last] = m_timers.equal_range(id);
    while (first != last) ended.insert(m_timers.extract(first++));
  }
  // Joined here, outside the lock.
  return !ended.empty();
}

}  // namespace monsim
