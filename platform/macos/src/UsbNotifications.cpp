// USB matching notifications. Each port listens on the machine's "usb" channel; its receiver
// thread queues what arrives into the port's iterators and signals the port's run-loop source,
// whose perform calls back, on the loop's thread, every armed iterator that holds something.
//
// IONotificationPortDestroy: once it returns, no callback of the port runs again. A callback
// running on another thread at that moment is waited for; called from a callback of the port,
// it returns at once and the callbacks still due from that perform are skipped.
#include <algorithm>
#include <cstdint>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "platform/macos/api/IOKitLib.h"
#include "platform/macos/internal/CFValues.h"
#include "platform/macos/internal/DeviceSource.h"
#include "platform/macos/internal/IOObjects.h"
#include "platform/macos/internal/MachineBus.h"
#include "platform/macos/internal/RunLoop.h"
#include "platform/macos/internal/UsbEventMessage.h"

namespace {

constexpr const char* kProviderClassKey = "IOProviderClass";
constexpr const char* kUsbDeviceClass = "IOUSBDevice";
// What an iterator nobody drains may hold; its callback reports "something changed" however
// many there are, so the oldest can go.
constexpr std::size_t kMaxPending = 1024;

struct Iterator {
  io_iterator_t handle;
  bool firstMatch;
  bool usb;  // false: the class matches nothing that comes or goes here
  IOServiceMatchingCallback callback;
  void* refCon;
  std::deque<std::string> pending;
  bool armed = false;
  bool released = false;
};

// A service an iterator handed out, by the device's name.
using Service = std::string;
using Object = std::variant<std::shared_ptr<Iterator>, Service>;

}  // namespace

struct IONotificationPortObject {
  // What the source's perform gets: never reused, so a perform that comes after the port has
  // gone finds nothing instead of another port.
  std::uintptr_t id;
  macstandin::Retained<CFRunLoopSourceObject> source;
  std::vector<std::shared_ptr<Iterator>> iterators;
  std::unique_ptr<macstandin::BusReceiver> receiver;
  bool destroyed = false;
  // Set when the port was destroyed from its own callback: that perform frees it.
  bool freedByPerformer = false;
  std::multiset<std::thread::id> performers;
};

namespace {

// Guards every port, iterator and object; never held while calling out.
std::mutex g_mutex;
std::condition_variable g_performDone;
std::map<io_object_t, Object> g_objects;
std::map<std::uintptr_t, IONotificationPortObject*> g_ports;
std::uintptr_t g_nextPortId = 1;

bool PerformingElsewhere(const IONotificationPortObject& port) {
  return port.performers.size() > port.performers.count(std::this_thread::get_id());
}

void Perform(void* info) {
  std::unique_lock lock(g_mutex);
  const auto live = g_ports.find(reinterpret_cast<std::uintptr_t>(info));
  if (live == g_ports.end()) return;
  IONotificationPortObject* port = live->second;
  port->performers.insert(std::this_thread::get_id());
  std::vector<std::shared_ptr<Iterator>> due;
  for (const auto& iterator : port->iterators) {
    if (iterator->armed && !iterator->pending.empty()) {
      iterator->armed = false;  // until the callback drains it again
      due.push_back(iterator);
    }
  }
  for (const auto& iterator : due) {
    if (port->destroyed) break;
    if (iterator->released) continue;
    lock.unlock();
    iterator->callback(iterator->refCon, iterator->handle);
    lock.lock();
  }
  port->performers.erase(port->performers.find(std::this_thread::get_id()));
  const bool free = port->freedByPerformer && port->performers.empty();
  g_performDone.notify_all();
  lock.unlock();
  if (free) delete port;
}

void Queue(IONotificationPortObject* port, const std::string& message) {
  const auto event = macstandin::ParseUsbEventMessage(message);
  if (!event) {
    std::fprintf(stderr, "USB notifications: ignored a malformed event of %zu bytes\n", message.size());
    return;
  }
  bool signal = false;
  {
    std::lock_guard lock(g_mutex);
    if (port->destroyed) return;
    std::erase_if(port->iterators, [](const auto& iterator) { return iterator->released; });
    for (const auto& iterator : port->iterators) {
      if (!iterator->usb || iterator->firstMatch != event->arrived) continue;
      if (iterator->pending.size() == kMaxPending) {
        std::fprintf(stderr, "USB notifications: an iterator nobody drains dropped its oldest device\n");
        iterator->pending.pop_front();
      }
      iterator->pending.push_back(event->name);
      signal = signal || iterator->armed;
    }
  }
  if (signal) port->source->SignalAndWake();
}

bool MatchesUsbDevices(CFDictionaryRef matching) {
  const auto key = macstandin::Retained<const CFStringObject>::Adopt(
      macstandin::CreateStringFromUtf8(kProviderClassKey));
  const void* value = CFDictionaryGetValue(matching, key.Get());
  return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() &&
         macstandin::Utf8Of(static_cast<CFStringRef>(value)) == kUsbDeviceClass;
}

std::deque<std::string> PresentDevices() {
  std::deque<std::string> names;
  if (auto source = macstandin::CurrentHidDeviceSource()) {
    for (const mchid::HidCollection& collection : source->Enumerate(0, 0)) names.push_back(collection.path);
  }
  return names;
}

}  // namespace

namespace macstandin {

bool ReleaseNotificationObject(io_object_t object) {
  Object released;  // an iterator's last reference goes outside the lock
  std::lock_guard lock(g_mutex);
  auto found = g_objects.find(object);
  if (found == g_objects.end()) return false;
  if (auto* iterator = std::get_if<std::shared_ptr<Iterator>>(&found->second)) (*iterator)->released = true;
  released = std::move(found->second);
  g_objects.erase(found);
  return true;
}

}  // namespace macstandin

IONotificationPortRef IONotificationPortCreate(mach_port_t) {
  auto port = std::make_unique<IONotificationPortObject>();
  {
    std::lock_guard lock(g_mutex);
    port->id = g_nextPortId++;
  }
  CFRunLoopSourceContext context{};
  context.info = reinterpret_cast<void*>(port->id);
  context.perform = Perform;
  port->source = macstandin::Retained<CFRunLoopSourceObject>::Adopt(CFRunLoopSourceCreate(nullptr, 0, &context));
  IONotificationPortObject* raw = port.get();
  port->receiver =
      std::make_unique<macstandin::BusReceiver>(macstandin::kUsbChannel, [raw](const std::string& message) {
        Queue(raw, message);
      });
  if (!port->receiver->Listening()) return nullptr;
  std::lock_guard lock(g_mutex);
  g_ports.emplace(port->id, port.get());
  return port.release();
}

void IONotificationPortDestroy(IONotificationPortRef notify) {
  if (notify == nullptr) return;
  {
    std::lock_guard lock(g_mutex);
    notify->destroyed = true;
    g_ports.erase(notify->id);
  }
  notify->receiver.reset();  // its thread takes g_mutex: stopped unlocked
  std::unique_lock lock(g_mutex);
  g_performDone.wait(lock, [notify] { return !PerformingElsewhere(*notify); });
  if (!notify->performers.empty()) {
    notify->freedByPerformer = true;
    return;
  }
  lock.unlock();
  delete notify;
}

CFRunLoopSourceRef IONotificationPortGetRunLoopSource(IONotificationPortRef notify) {
  return notify != nullptr ? notify->source.Get() : nullptr;
}

CFMutableDictionaryRef IOServiceMatching(const char* name) {
  if (name == nullptr) return nullptr;
  const auto value = macstandin::Retained<const CFStringObject>::Adopt(macstandin::CreateStringFromUtf8(name));
  return new CFDictionaryObject({{u"IOProviderClass", macstandin::Retained<const macstandin::CFObject>(value.Get())}});
}

kern_return_t IOServiceAddMatchingNotification(IONotificationPortRef notifyPort, const io_name_t notificationType,
                                               CFDictionaryRef matching, IOServiceMatchingCallback callback,
                                               void* refCon, io_iterator_t* notification) {
  const auto consumed = macstandin::Retained<const CFDictionaryObject>::Adopt(matching);
  if (notifyPort == nullptr || notificationType == nullptr || matching == nullptr || callback == nullptr ||
      notification == nullptr) {
    return kIOReturnBadArgument;
  }
  const bool firstMatch = std::strcmp(notificationType, kIOFirstMatchNotification) == 0;
  if (!firstMatch && std::strcmp(notificationType, kIOTerminatedNotification) != 0) return kIOReturnBadArgument;
  auto iterator = std::make_shared<Iterator>(
      Iterator{macstandin::NewObjectPort(), firstMatch, MatchesUsbDevices(matching), callback, refCon, {}});
  if (iterator->usb && firstMatch) iterator->pending = PresentDevices();
  std::lock_guard lock(g_mutex);
  notifyPort->iterators.push_back(iterator);
  g_objects.emplace(iterator->handle, iterator);
  *notification = iterator->handle;
  return kIOReturnSuccess;
}

io_object_t IOIteratorNext(io_iterator_t iterator) {
  std::lock_guard lock(g_mutex);
  auto found = g_objects.find(iterator);
  if (found == g_objects.end()) return IO_OBJECT_NULL;
  auto* held = std::get_if<std::shared_ptr<Iterator>>(&found->second);
  if (held == nullptr) return IO_OBJECT_NULL;
  Iterator& it = **held;
  if (it.pending.empty()) {
    it.armed = true;
    return IO_OBJECT_NULL;
  }
  const io_object_t service = macstandin::NewObjectPort();
  g_objects.emplace(service, Service(std::move(it.pending.front())));
  it.pending.pop_front();
  return service;
}
