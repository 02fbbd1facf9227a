#include "platform/macos/internal/DispatchQueue.h"
#include "platform/macos/internal/RunLoop.h"

namespace {

// Serial by nature: the main loop runs its callouts one by one, in the order posted.
class MainQueue final : public macstandin::Queue {
 public:
  void Submit(macstandin::QueueItem item) override { CFRunLoopGetMain()->Post(this, std::move(item.run)); }
};

}  // namespace

dispatch_queue_t dispatch_get_main_queue() {
  // Never freed, like the main loop it feeds.
  static MainQueue* const queue = new MainQueue;
  return queue;
}
