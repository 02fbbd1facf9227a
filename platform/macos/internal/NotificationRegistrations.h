// The observers of a notification centre and the running of their callbacks, which both
// centres share; they differ in how they tell objects apart.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/macos/api/CFNotificationCenter.h"

namespace macstandin {

// A notification's object as a centre compares it: by address or by text.
using NotificationObjectKey = std::variant<const void*, std::u16string>;

// The text of a notification's name; nullopt for NULL.
std::optional<std::u16string> NotificationNameText(CFStringRef name);

class NotificationRegistrations {
 public:
  // name and object nullopt: any.
  void Add(const void* observer, CFNotificationCallback callBack, std::optional<std::u16string> name,
           std::optional<NotificationObjectKey> object);
  // Ends the observer's registrations for name and object (nullopt: every one), then waits for
  // their callbacks running on other threads; not for those running on this one, which would
  // be waiting for itself.
  void Remove(const void* observer, const std::optional<std::u16string>& name,
              const std::optional<NotificationObjectKey>& object);
  // Runs on this thread, in the order they were added, the callbacks registered for name and
  // objectKey (nullopt: the notification has no object) that are not removed by then.
  void Deliver(CFNotificationCenterRef center, CFNotificationName name, const void* object,
               const std::optional<NotificationObjectKey>& objectKey, CFDictionaryRef userInfo);
  bool Empty();

 private:
  struct Registration;

  std::mutex m_mutex;
  std::condition_variable m_finished;
  std::vector<std::shared_ptr<Registration>> m_registrations;
};

}  // namespace macstandin
