// libdispatch: serial and concurrent queues with barriers, groups, and the main queue, in the
// forms that take a function and a context.
#pragma once

#include <atomic>
#include <cstdint>

// Every object the calls below hand out; the stand-in's objects derive from these types, and
// the derived ones exist so that any object converts to dispatch_object_t.
struct dispatch_object_s {
  dispatch_object_s(const dispatch_object_s&) = delete;
  dispatch_object_s& operator=(const dispatch_object_s&) = delete;

 protected:
  dispatch_object_s() = default;
  virtual ~dispatch_object_s() = default;

 private:
  friend void dispatch_retain(dispatch_object_s* object);
  friend void dispatch_release(dispatch_object_s* object);
  std::atomic<long> m_references{1};
};
struct dispatch_queue_s : dispatch_object_s {};
struct dispatch_group_s : dispatch_object_s {};
struct dispatch_queue_attr_s : dispatch_object_s {};

using dispatch_object_t = dispatch_object_s*;
using dispatch_queue_t = dispatch_queue_s*;
using dispatch_group_t = dispatch_group_s*;
using dispatch_queue_attr_t = dispatch_queue_attr_s*;
using dispatch_function_t = void (*)(void* context);
using dispatch_time_t = std::uint64_t;

#define DISPATCH_TIME_NOW (0ull)
#define DISPATCH_TIME_FOREVER (~0ull)
#define NSEC_PER_SEC 1000000000ull
#define NSEC_PER_MSEC 1000000ull

enum qos_class_t : unsigned int {
  QOS_CLASS_USER_INTERACTIVE = 0x21,
  QOS_CLASS_USER_INITIATED = 0x19,
  QOS_CLASS_DEFAULT = 0x15,
  QOS_CLASS_UTILITY = 0x11,
  QOS_CLASS_BACKGROUND = 0x09,
  QOS_CLASS_UNSPECIFIED = 0x00,
};
using dispatch_qos_class_t = qos_class_t;

namespace macstandin {
// The object behind DISPATCH_QUEUE_CONCURRENT, never freed.
dispatch_queue_attr_t ConcurrentQueueAttribute();
}  // namespace macstandin

#define DISPATCH_QUEUE_SERIAL nullptr
#define DISPATCH_QUEUE_CONCURRENT (::macstandin::ConcurrentQueueAttribute())

// The attribute with a quality of service added. Quality of service is accepted and ignored:
// an attribute only tells serial from concurrent. The result is never freed and not released.
dispatch_queue_attr_t dispatch_queue_attr_make_with_qos_class(dispatch_queue_attr_t attr,
                                                              dispatch_qos_class_t qos_class, int relative_priority);
// A new queue holding one reference; the label is not kept.
dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr);
// The serial queue whose items the main thread runs from its run loop.
dispatch_queue_t dispatch_get_main_queue();

void dispatch_async_f(dispatch_queue_t queue, void* context, dispatch_function_t work);
// Returns once work has run. Calling it for the serial queue the caller is running on deadlocks.
void dispatch_sync_f(dispatch_queue_t queue, void* context, dispatch_function_t work);
// On a concurrent queue, work waits for every item submitted before it, runs alone, and holds
// back every item submitted after it until it has finished. On a serial queue it is an item
// like any other.
void dispatch_barrier_async_f(dispatch_queue_t queue, void* context, dispatch_function_t work);
void dispatch_barrier_sync_f(dispatch_queue_t queue, void* context, dispatch_function_t work);

// A new, empty group holding one reference.
dispatch_group_t dispatch_group_create();
// As dispatch_async_f, with work counted into the group until it has run.
void dispatch_group_async_f(dispatch_group_t group, dispatch_queue_t queue, void* context, dispatch_function_t work);
// 0 once the group is empty, non-zero when timeout passed first.
std::intptr_t dispatch_group_wait(dispatch_group_t group, dispatch_time_t timeout);

// when (DISPATCH_TIME_NOW: the present) moved by delta nanoseconds; DISPATCH_TIME_FOREVER
// when it is that already or the sum does not fit.
dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta);

void dispatch_retain(dispatch_object_t object);
// The last release frees the object; a queue holds itself until its queued work has run, and
// a group until its items have.
void dispatch_release(dispatch_object_t object);
