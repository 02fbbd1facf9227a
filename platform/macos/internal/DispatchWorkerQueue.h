// The queues that dispatch_queue_create makes, whose items run on worker threads.
#pragma once

#include <deque>
#include <mutex>
#include <vector>

#include "platform/macos/internal/DispatchQueue.h"

namespace macstandin {

// Serial: one item at a time, in submission order. Concurrent: items start in submission
// order and overlap, except that a barrier starts once everything before it has finished and
// holds back everything after it until it has finished.
class WorkerQueue final : public Queue {
 public:
  explicit WorkerQueue(bool concurrent) : m_concurrent(concurrent) {}

  void Submit(QueueItem item) override;

 private:
  bool RunsAlone(const QueueItem& item) const { return !m_concurrent || item.barrier; }
  // The caller holds m_mutex for these two.
  bool Idle() const { return m_running == 0 && m_waiting.empty(); }
  // Moves the waiting items that may start now out of the queue and counts them as running.
  std::vector<QueueItem> TakeStartable();

  void StartOnWorker(QueueItem item);
  // Runs item on the calling worker, then whichever item its end lets start.
  void Run(QueueItem item);

  const bool m_concurrent;
  std::mutex m_mutex;
  std::deque<QueueItem> m_waiting;
  int m_running = 0;
  bool m_aloneRunning = false;
};

}  // namespace macstandin
