#include <condition_variable>
#include <mutex>

#include "platform/macos/internal/DispatchWorkerQueue.h"

namespace {

struct QueueAttributes final : dispatch_queue_attr_s {
  explicit QueueAttributes(bool isConcurrent) : concurrent(isConcurrent) {}
  const bool concurrent;
};

// Attributes are never released, so there is one of each kind, never freed.
dispatch_queue_attr_t SerialQueueAttribute() {
  static QueueAttributes* const serial = new QueueAttributes(false);
  return serial;
}

bool IsConcurrent(dispatch_queue_attr_t attr) {
  return attr != nullptr && static_cast<QueueAttributes*>(attr)->concurrent;
}

void Submit(dispatch_queue_t queue, void* context, dispatch_function_t work, bool barrier) {
  macstandin::AsQueue(queue)->Submit({[context, work] { work(context); }, barrier});
}

void SubmitAndWait(dispatch_queue_t queue, void* context, dispatch_function_t work, bool barrier) {
  std::mutex mutex;
  std::condition_variable ran;
  bool done = false;
  auto runAndTell = [&] {
    work(context);
    // Told under the lock: once the waiter sees done, everything captured here may be gone.
    std::lock_guard lock(mutex);
    done = true;
    ran.notify_one();
  };
  macstandin::AsQueue(queue)->Submit({runAndTell, barrier});
  std::unique_lock lock(mutex);
  ran.wait(lock, [&] { return done; });
}

}  // namespace

namespace macstandin {

dispatch_queue_attr_t ConcurrentQueueAttribute() {
  static QueueAttributes* const concurrent = new QueueAttributes(true);
  return concurrent;
}

}  // namespace macstandin

dispatch_queue_attr_t dispatch_queue_attr_make_with_qos_class(dispatch_queue_attr_t attr, dispatch_qos_class_t, int) {
  return IsConcurrent(attr) ? macstandin::ConcurrentQueueAttribute() : SerialQueueAttribute();
}

dispatch_queue_t dispatch_queue_create(const char*, dispatch_queue_attr_t attr) {
  return new macstandin::WorkerQueue(IsConcurrent(attr));
}

void dispatch_async_f(dispatch_queue_t queue, void* context, dispatch_function_t work) {
  Submit(queue, context, work, false);
}

void dispatch_sync_f(dispatch_queue_t queue, void* context, dispatch_function_t work) {
  SubmitAndWait(queue, context, work, false);
}

void dispatch_barrier_async_f(dispatch_queue_t queue, void* context, dispatch_function_t work) {
  Submit(queue, context, work, true);
}

void dispatch_barrier_sync_f(dispatch_queue_t queue, void* context, dispatch_function_t work) {
  SubmitAndWait(queue, context, work, true);
}
