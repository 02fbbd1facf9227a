#include "platform/macos/internal/NotificationCenter.h"
#include "platform/macos/internal/NotificationRegistrations.h"

namespace {

using macstandin::NotificationObjectKey;

// Objects are told apart by address, as the process's own objects are.
std::optional<NotificationObjectKey> AddressOf(const void* object) {
  if (object == nullptr) return std::nullopt;
  return NotificationObjectKey(object);
}

class LocalCenter final : public CFNotificationCenterObject {
 public:
  void Add(const void* observer, CFNotificationCallback callBack, CFStringRef name, const void* object) override {
    m_registrations.Add(observer, callBack, macstandin::NotificationNameText(name), AddressOf(object));
  }
  void Remove(const void* observer, CFStringRef name, const void* object) override {
    m_registrations.Remove(observer, macstandin::NotificationNameText(name), AddressOf(object));
  }
  void Post(CFNotificationName name, const void* object, CFDictionaryRef userInfo) override {
    m_registrations.Deliver(this, name, object, AddressOf(object), userInfo);
  }

 private:
  macstandin::NotificationRegistrations m_registrations;
};

}  // namespace

CFNotificationCenterRef CFNotificationCenterGetLocalCenter() {
  // Never freed: threads may post until the process ends.
  static CFNotificationCenterObject* const center = new LocalCenter;
  return center;
}
