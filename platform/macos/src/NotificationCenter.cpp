#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/macos/api/CFNotificationCenter.h"
#include "platform/macos/internal/CFValues.h"

namespace {

std::optional<std::u16string> NameText(CFStringRef name) {
  if (name == nullptr) return std::nullopt;
  return name->units;
}

struct Registration {
  const void* observer;
  CFNotificationCallback callBack;
  std::optional<std::u16string> name;  // none: every name
  const void* object;                  // null: any object
  bool removed = false;
  // One entry per callback of it running now; a callback that posts again adds a second.
  std::vector<std::thread::id> runningOn;
};

using RegistrationList = std::vector<std::shared_ptr<Registration>>;

}  // namespace

struct CFNotificationCenterObject final : macstandin::CFObject {
  CFTypeID TypeId() const override { return macstandin::kNotificationCenterTypeId; }

  void Add(const void* observer, CFNotificationCallback callBack, CFStringRef name, const void* object) {
    auto registration =
        std::make_shared<Registration>(Registration{observer, callBack, NameText(name), object, false, {}});
    std::lock_guard lock(m_mutex);
    m_registrations.push_back(std::move(registration));
  }

  void Remove(const void* observer, CFStringRef name, const void* object) {
    const std::optional<std::u16string> text = NameText(name);
    std::unique_lock lock(m_mutex);
    const auto kept = std::stable_partition(m_registrations.begin(), m_registrations.end(), [&](const auto& r) {
      return r->observer != observer || (text && r->name != text) || (object && r->object != object);
    });
    RegistrationList removed(std::make_move_iterator(kept), std::make_move_iterator(m_registrations.end()));
    m_registrations.erase(kept, m_registrations.end());
    for (const auto& r : removed) r->removed = true;
    // A callback that removes its own registration would otherwise wait for itself.
    const std::thread::id self = std::this_thread::get_id();
    m_finished.wait(lock, [&] {
      return std::all_of(removed.begin(), removed.end(), [&](const auto& r) {
        return std::all_of(r->runningOn.begin(), r->runningOn.end(), [&](std::thread::id id) { return id == self; });
      });
    });
  }

  void Post(CFNotificationName name, const void* object, CFDictionaryRef userInfo) {
    const std::optional<std::u16string> text = NameText(name);
    RegistrationList matching;
    {
      std::lock_guard lock(m_mutex);
      std::copy_if(m_registrations.begin(), m_registrations.end(), std::back_inserter(matching), [&](const auto& r) {
        return (!r->name || r->name == text) && (!r->object || r->object == object);
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
      r->callBack(this, const_cast<void*>(r->observer), name, object, userInfo);
      std::lock_guard lock(m_mutex);
      r->runningOn.erase(std::find(r->runningOn.begin(), r->runningOn.end(), self));
      m_finished.notify_all();
    }
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_finished;
  RegistrationList m_registrations;
};

CFNotificationCenterRef CFNotificationCenterGetLocalCenter() {
  // Never freed: threads may post until the process ends.
  static CFNotificationCenterObject* const center = new CFNotificationCenterObject;
  return center;
}

void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callBack, CFStringRef name, const void* object,
                                     CFNotificationSuspensionBehavior) {
  center->Add(observer, callBack, name, object);
}

void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer,
                                        CFNotificationName name, const void* object) {
  center->Remove(observer, name, object);
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFNotificationName name,
                                          const void* object, CFDictionaryRef userInfo, Boolean) {
  center->Post(name, object, userInfo);
}
