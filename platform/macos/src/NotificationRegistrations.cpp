#include "platform/macos/internal/NotificationRegistrations.h"

#include <algorithm>
#include <iterator>
#include <thread>

#include "platform/macos/internal/CFValues.h"

namespace macstandin {

struct NotificationRegistrations::Registration {
  const void* observer;
  CFNotificationCallback callBack;
  std::optional<std::u16string> name;
  std::optional<NotificationObjectKey> object;
  bool removed = false;
  // One entry per callback of it running now; a callback that posts again adds a second.
  std::vector<std::thread::id> runningOn;
};

std::optional<std::u16string> NotificationNameText(CFStringRef name) {
  if (name == nullptr) return std::nullopt;
  return name->units;
}

void NotificationRegistrations::Add(const void* observer, CFNotificationCallback callBack,
                                    std::optional<std::u16string> name, std::optional<NotificationObjectKey> object) {
  auto registration =
      std::make_shared<Registration>(Registration{observer, callBack, std::move(name), std::move(object), false, {}});
  std::lock_guard lock(m_mutex);
  m_registrations.push_back(std::move(registration));
}

void NotificationRegistrations::Remove(const void* observer, const std::optional<std::u16string>& name,
                                       const std::optional<NotificationObjectKey>& object) {
  std::unique_lock lock(m_mutex);
  const auto kept = std::stable_partition(m_registrations.begin(), m_registrations.end(), [&](const auto& r) {
    return r->observer != observer || (name && r->name != name) || (object && r->object != object);
  });
  const std::vector<std::shared_ptr<Registration>> removed(std::make_move_iterator(kept),
                                                           std::make_move_iterator(m_registrations.end()));
  m_registrations.erase(kept, m_registrations.end());
  for (const auto& r : removed) r->removed = true;
  const std::thread::id self = std::this_thread::get_id();
  m_finished.wait(lock, [&] {
    return std::all_of(removed.begin(), removed.end(), [&](const auto& r) {
      return std::all_of(r->runningOn.begin(), r->runningOn.end(), [&](std::thread::id id) { return id == self; });
    });
  });
}

void NotificationRegistrations::Deliver(CFNotificationCenterRef center, CFNotificationName name, const void* object,
                                        const std::optional<NotificationObjectKey>& objectKey,
                                        CFDictionaryRef userInfo) {
  const std::optional<std::u16string> text = NotificationNameText(name);
  std::vector<std::shared_ptr<Registration>> matching;
  {
    std::lock_guard lock(m_mutex);
    std::copy_if(m_registrations.begin(), m_registrations.end(), std::back_inserter(matching), [&](const auto& r) {
      return (!r->name || r->name == text) && (!r->object || r->object == objectKey);
    });
  }
  const std::thread::id self = std::this_thread::get_id();
  for (const auto& r : matching) {
    {
      // A callback before this one may have removed it.
      std::lock_guard lock(m_mutex);
      if (r->removed) continue;
      r->runningOn.push_back(self);
    }
    r->callBack(center, const_cast<void*>(r->observer), name, object, userInfo);
    std::lock_guard lock(m_mutex);
    r->runningOn.erase(std::find(r->runningOn.begin(), r->runningOn.end(), self));
    m_finished.notify_all();
  }
}

bool NotificationRegistrations::Empty() {
  std::lock_guard lock(m_mutex);
  return m_registrations.empty();
}

}  // namespace macstandin
