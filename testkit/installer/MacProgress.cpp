#include "testkit/installer/MacProgress.h"

#include <cstdio>
#include <memory>
#include <type_traits>

#include "platform/macos/CoreFoundation.h"
#include "testkit/installer/MacScript.h"

namespace testkit {

namespace {

struct Release {
  void operator()(CFTypeRef object) const { CFRelease(object); }
};
using Owned = std::unique_ptr<std::remove_pointer_t<CFTypeRef>, Release>;

Owned RecordOf(const std::string& propertyList) {
  Owned data(CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(propertyList.data()),
                          static_cast<CFIndex>(propertyList.size())));
  if (!data) return nullptr;
  Owned record(CFPropertyListCreateWithData(kCFAllocatorDefault, static_cast<CFDataRef>(data.get()),
                                            kCFPropertyListImmutable, nullptr, nullptr));
  if (record && CFGetTypeID(record.get()) != CFDictionaryGetTypeID()) return nullptr;
  return record;
}

bool WriteInstallStatus(CFDictionaryRef record) {
  CFStringRef group = CFSTR("group.com.quelmo.tarvik");
  CFPreferencesSetAppValue(CFSTR("installStatus"), record, group);
  if (CFPreferencesAppSynchronize(group)) return true;
  std::fprintf(stderr, "installer: the app group's preferences cannot be written\n");
  return false;
}

}  // namespace

bool SendProgress(const InstallerAction& report) {
  Owned record = RecordOf(report.message);
  if (!record) {
    std::fprintf(stderr, "installer: the progress record is no dictionary: %s\n", report.message.c_str());
    return false;
  }
  auto dictionary = static_cast<CFDictionaryRef>(record.get());
  if (report.channel == kInstallStatusChannel) return WriteInstallStatus(dictionary);
  CFNotificationCenterPostNotification(CFNotificationCenterGetDistributedCenter(),
                                       CFSTR("InstallProgressUpdate"), nullptr, dictionary, true);
  return true;
}

}  // namespace testkit
