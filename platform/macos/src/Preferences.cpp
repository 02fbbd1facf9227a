#include <unistd.h>

#include <climits>
#include <cstdio>
#include <mutex>
#include <optional>

#include "platform/macos/api/CFPreferences.h"
#include "platform/macos/internal/PreferenceFileUpdate.h"
#include "platform/macos/internal/PreferenceFiles.h"
#include "platform/macos/internal/PropertyListWriter.h"

const CFStringRef kCFPreferencesCurrentApplication = CFSTR("kCFPreferencesCurrentApplication");

namespace {

using macstandin::CFObject;
using macstandin::PreferenceChanges;
using macstandin::Retained;

// A program outside a bundle has its executable's name for its domain.
std::string ExecutableName() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return {};
  const std::string full(path, static_cast<std::size_t>(length));
  return full.substr(full.rfind('/') + 1);
}

std::string DomainOf(CFStringRef applicationID) {
  if (applicationID->units == kCFPreferencesCurrentApplication->units) return ExecutableName();
  return macstandin::Utf8Of(applicationID);
}

// The changes this process has set and not yet written, by domain.
class PendingChanges {
 public:
  void Set(const std::string& domain, const std::u16string& key, Retained<const CFObject> value) {
    std::lock_guard lock(m_mutex);
    m_domains[domain].insert_or_assign(key, std::move(value));
  }
  // Nullopt when key has no pending change; a null value when its removal is pending.
  std::optional<Retained<const CFObject>> Find(const std::string& domain, const std::u16string& key) {
    std::lock_guard lock(m_mutex);
    const auto changes = m_domains.find(domain);
    if (changes == m_domains.end()) return std::nullopt;
    const auto change = changes->second.find(key);
    if (change == changes->second.end()) return std::nullopt;
    return change->second;
  }
  PreferenceChanges Of(const std::string& domain) {
    std::lock_guard lock(m_mutex);
    const auto changes = m_domains.find(domain);
    return changes == m_domains.end() ? PreferenceChanges() : changes->second;
  }
  // Forgets changes, but not those set again since they were taken.
  void Forget(const std::string& domain, const PreferenceChanges& changes) {
    std::lock_guard lock(m_mutex);
    PreferenceChanges& pending = m_domains[domain];
    for (const auto& [key, value] : changes) {
      const auto change = pending.find(key);
      if (change != pending.end() && change->second.Get() == value.Get()) pending.erase(change);
    }
    if (pending.empty()) m_domains.erase(domain);
  }

 private:
  std::mutex m_mutex;
  std::map<std::string, PreferenceChanges> m_domains;
};

PendingChanges& Pending() {
  // Never freed: any thread may set preferences until the process ends.
  static PendingChanges* const pending = new PendingChanges;
  return *pending;
}

// Takes the values that are no property list out of changes.
PreferenceChanges TakeRefused(PreferenceChanges& changes) {
  PreferenceChanges refused;
  for (auto change = changes.begin(); change != changes.end();) {
    if (change->second && !macstandin::IsPropertyListValue(change->second.Get())) {
      refused.insert(changes.extract(change++));
    } else {
      ++change;
    }
  }
  return refused;
}

}  // namespace

CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID) {
  if (key == nullptr || applicationID == nullptr) return nullptr;
  const std::string domain = DomainOf(applicationID);
  const std::string own = macstandin::UserPreferenceFileOf(domain);
  for (const std::string& path : macstandin::PreferenceFilesOf(domain)) {
    // What this process set but did not write yet stands in front of its own file.
    if (path == own) {
      const auto pending = Pending().Find(domain, key->units);
      if (pending) return pending->Get() ? CFRetain(pending->Get()) : nullptr;
    }
    const auto values = macstandin::ReadPreferenceFile(path);
    const void* value = values ? CFDictionaryGetValue(values.Get(), key) : nullptr;
    if (value) return CFRetain(value);
  }
  return nullptr;
}

void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID) {
  if (key == nullptr || applicationID == nullptr) return;
  Pending().Set(DomainOf(applicationID), key->units, Retained(static_cast<const CFObject*>(value)));
}

Boolean CFPreferencesAppSynchronize(CFStringRef applicationID) {
  if (applicationID == nullptr) return false;
  const std::string domain = DomainOf(applicationID);
  PreferenceChanges changes = Pending().Of(domain);
  const PreferenceChanges refused = TakeRefused(changes);
  for (const auto& change : refused) {
    std::fprintf(stderr, "preferences %s: the value of %s is no property list, not written\n", domain.c_str(),
                 macstandin::Utf8Of(change.first).c_str());
  }
  // Kept, they would fail every later write of the domain.
  Pending().Forget(domain, refused);
  if (changes.empty()) return refused.empty();
  const std::string path = macstandin::UserPreferenceFileOf(domain);
  if (path.empty()) {
    std::fprintf(stderr, "preferences %s: the user has no preferences folder\n", domain.c_str());
    return false;
  }
  if (!macstandin::UpdatePreferenceFile(path, changes)) return false;
  Pending().Forget(domain, changes);
  return refused.empty();
}
