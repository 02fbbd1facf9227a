#include "platform/macos/internal/DispatchWorkerQueue.h"

#include "platform/macos/internal/DispatchWorkers.h"

namespace macstandin {

void WorkerQueue::Submit(QueueItem item) {
  std::vector<QueueItem> startable;
  {
    std::lock_guard lock(m_mutex);
    // A queue with work holds itself, so that the last release by its users frees it only
    // once the work has run.
    if (Idle()) dispatch_retain(this);
    m_waiting.push_back(std::move(item));
    startable = TakeStartable();
  }
  for (QueueItem& next : startable) StartOnWorker(std::move(next));
}

std::vector<QueueItem> WorkerQueue::TakeStartable() {
  std::vector<QueueItem> startable;
  while (!m_waiting.empty() && !m_aloneRunning) {
    if (RunsAlone(m_waiting.front())) {
      if (m_running > 0) break;
      m_aloneRunning = true;
    }
    ++m_running;
    startable.push_back(std::move(m_waiting.front()));
    m_waiting.pop_front();
  }
  return startable;
}

void WorkerQueue::StartOnWorker(QueueItem item) {
  RunOnWorker([this, item = std::move(item)]() mutable { Run(std::move(item)); });
}

void WorkerQueue::Run(QueueItem item) {
  for (;;) {
    item.run();
    std::vector<QueueItem> startable;
    bool idle = false;
    {
      std::lock_guard lock(m_mutex);
      --m_running;
      if (RunsAlone(item)) m_aloneRunning = false;
      startable = TakeStartable();
      idle = Idle();
    }
    if (startable.empty()) {
      if (idle) dispatch_release(this);
      return;
    }
    // This worker carries on with the first; any others get workers of their own.
    item = std::move(startable.front());
    for (auto next = startable.begin() + 1; next != startable.end(); ++next) StartOnWorker(std::move(*next));
  }
}

}  // namespace macstandin
