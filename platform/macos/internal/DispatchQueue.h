// What every queue behind a dispatch_queue_t does with the work handed to it.
#pragma once

#include <functional>

#include "platform/macos/api/Dispatch.h"

namespace macstandin {

struct QueueItem {
  std::function<void()> run;
  // Waits for the items before it and runs alone; on a serial queue every item does.
  bool barrier = false;
};

class Queue : public dispatch_queue_s {
 public:
  // Runs the item later, on the queue's own terms.
  virtual void Submit(QueueItem item) = 0;
};

inline Queue* AsQueue(dispatch_queue_t queue) { return static_cast<Queue*>(queue); }

}  // namespace macstandin
