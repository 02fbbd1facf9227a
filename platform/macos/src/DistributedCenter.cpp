#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/macos/internal/DistributedNotification.h"
#include "platform/macos/internal/MachineBus.h"
#include "platform/macos/internal/NotificationCenter.h"
#include "platform/macos/internal/NotificationRegistrations.h"
#include "platform/macos/internal/RunLoop.h"

namespace {

using macstandin::NotificationObjectKey;

constexpr const char* kChannel = "distributed-notifications";

// Objects travel as strings, so they are told apart by their text.
std::optional<NotificationObjectKey> TextOf(const void* object) {
  if (object == nullptr) return std::nullopt;
  if (CFGetTypeID(object) != CFStringGetTypeID()) return NotificationObjectKey(object);  // matches none that arrive
  return NotificationObjectKey(static_cast<CFStringRef>(object)->units);
}

// Listens on the bus while it has observers: an idle process keeps no thread for it.
class DistributedCenter final : public CFNotificationCenterObject {
 public:
  void Add(const void* observer, CFNotificationCallback callBack, CFStringRef name, const void* object) override {
    std::lock_guard lock(m_receiverMutex);
    m_registrations.Add(observer, callBack, macstandin::NotificationNameText(name), TextOf(object));
    if (!m_receiver) Listen();
  }

  void Remove(const void* observer, CFStringRef name, const void* object) override {
    m_registrations.Remove(observer, macstandin::NotificationNameText(name), TextOf(object));
    std::unique_ptr<macstandin::BusReceiver> idle;
    {
      std::lock_guard lock(m_receiverMutex);
      if (m_registrations.Empty()) idle = std::move(m_receiver);
    }
    // Ending it waits for its thread, which never waits for this lock or a callback.
    idle.reset();
  }

  void Post(CFNotificationName name, const void* object, CFDictionaryRef userInfo) override {
    const std::optional<std::string> bytes = macstandin::EncodeNotification(name, object, userInfo);
    if (bytes) macstandin::BusSend(kChannel, *bytes);
  }

 private:
  // The caller holds m_receiverMutex.
  void Listen() {
    auto receiver =
        std::make_unique<macstandin::BusReceiver>(kChannel, [this](const std::string& bytes) { Received(bytes); });
    if (receiver->Listening()) m_receiver = std::move(receiver);
    else std::fprintf(stderr, "distributed notifications: cannot listen; the next observer tries again\n");
  }

  void Received(const std::string& bytes) {
    std::optional<macstandin::DistributedNotification> received = macstandin::DecodeNotification(bytes);
    if (!received) return;
    // Matched when it runs, so an observer removed meanwhile is not called.
    CFRunLoopGetMain()->Post(this, [this, notification = std::move(*received)] {
      const auto& [name, object, userInfo] = notification;
      const auto key = object ? std::optional(NotificationObjectKey(object->units)) : std::nullopt;
      m_registrations.Deliver(this, name.Get(), object.Get(), key, userInfo.Get());
    });
  }

  macstandin::NotificationRegistrations m_registrations;
  std::mutex m_receiverMutex;
  std::unique_ptr<macstandin::BusReceiver> m_receiver;
};

}  // namespace

CFNotificationCenterRef CFNotificationCenterGetDistributedCenter() {
  // Never freed: its callouts may wait on the main loop until the process ends.
  static CFNotificationCenterObject* const center = new DistributedCenter;
  return center;
}
