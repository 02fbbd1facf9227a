#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/AlternateSignalStack.h"
#include "platform/win32/internal/Fault.h"

struct _TP_WORK {
  PTP_WORK_CALLBACK callback;
  PVOID context;
  // Guarded by the pool's lock.
  std::size_t outstanding = 0;
  bool closed = false;
};

namespace {

class DefaultPool {
 public:
  void Submit(PTP_WORK work) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++work->outstanding;
    m_queue.push_back(work);
    // A callback may keep its thread for good, so busy threads are never waited for.
    if (m_queue.size() > m_idle) {
      try {
        std::thread([this] { Serve(); }).detach();
      } catch (const std::system_error&) {
        // No thread to be had now: the work runs when a pool thread comes free.
      }
    }
    m_queued.notify_one();
  }

  void WaitForCallbacks(PTP_WORK work, bool cancelPending) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (cancelPending) {
      std::size_t queued = std::erase(m_queue, work);
      work->outstanding -= queued;
    }
    m_returned.wait(lock, [work] { return work->outstanding == 0; });
  }

  void Close(PTP_WORK work) {
    std::lock_guard<std::mutex> lock(m_mutex);
    work->closed = true;
    if (work->outstanding == 0) delete work;
  }

 private:
  void Serve() {
    win32::EnsureAlternateSignalStack();
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
      ++m_idle;
      m_queued.wait(lock, [this] { return !m_queue.empty(); });
      --m_idle;
      PTP_WORK work = m_queue.front();
      m_queue.pop_front();
      lock.unlock();
      work->callback(nullptr, work->context, work);
      lock.lock();
      if (--work->outstanding == 0 && work->closed) delete work;
      m_returned.notify_all();
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_queued;
  std::condition_variable m_returned;
  std::deque<PTP_WORK> m_queue;
  std::size_t m_idle = 0;
};

// Never destroyed: its threads may still run while the process ends.
DefaultPool& Pool() {
  static auto* pool = new DefaultPool;
  return *pool;
}

}  // namespace

PTP_WORK CreateThreadpoolWork(PTP_WORK_CALLBACK callback, PVOID context,
                              PTP_CALLBACK_ENVIRON environment) {
  if (win32::InjectedFailure("CreateThreadpoolWork")) return nullptr;
  if (callback == nullptr || environment != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return new _TP_WORK{callback, context};
}

VOID SubmitThreadpoolWork(PTP_WORK work) {
  if (work != nullptr) Pool().Submit(work);
}

VOID WaitForThreadpoolWorkCallbacks(PTP_WORK work, BOOL cancelPendingCallbacks) {
  if (work != nullptr) Pool().WaitForCallbacks(work, cancelPendingCallbacks != FALSE);
}

VOID CloseThreadpoolWork(PTP_WORK work) {
  if (work != nullptr) Pool().Close(work);
}
