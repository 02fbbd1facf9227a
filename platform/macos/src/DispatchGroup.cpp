#include <condition_variable>
#include <mutex>

#include "platform/macos/internal/DispatchQueue.h"
#include "platform/macos/internal/DispatchTime.h"

namespace {

// The platform's code for a wait that reached its time limit.
constexpr std::intptr_t kOperationTimedOut = 49;

class Group final : public dispatch_group_s {
 public:
  // Each item holds a reference until it has run: a group its users released lasts until then.
  void Enter() {
    dispatch_retain(this);
    std::lock_guard lock(m_mutex);
    ++m_pending;
  }

  void Leave() {
    {
      std::lock_guard lock(m_mutex);
      --m_pending;
    }
    m_emptied.notify_all();
    dispatch_release(this);
  }

  // True once the group is empty; false when deadline (nothing: no limit) passed first.
  bool WaitEmpty(std::optional<std::chrono::steady_clock::time_point> deadline) {
    std::unique_lock lock(m_mutex);
    const auto empty = [this] { return m_pending == 0; };
    if (!deadline) {
      m_emptied.wait(lock, empty);
      return true;
    }
    return m_emptied.wait_until(lock, *deadline, empty);
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_emptied;
  long m_pending = 0;
};

Group* AsGroup(dispatch_group_t group) { return static_cast<Group*>(group); }

}  // namespace

dispatch_group_t dispatch_group_create() { return new Group; }

void dispatch_group_async_f(dispatch_group_t group, dispatch_queue_t queue, void* context, dispatch_function_t work) {
  Group* counted = AsGroup(group);
  counted->Enter();
  macstandin::AsQueue(queue)->Submit({[counted, context, work] {
    work(context);
    counted->Leave();
  }});
}

std::intptr_t dispatch_group_wait(dispatch_group_t group, dispatch_time_t timeout) {
  return AsGroup(group)->WaitEmpty(macstandin::DeadlineOf(timeout)) ? 0 : kOperationTimedOut;
}
