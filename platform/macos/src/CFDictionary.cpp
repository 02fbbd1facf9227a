#include "platform/macos/internal/CFValues.h"

CFTypeID CFDictionaryGetTypeID() { return macstandin::kDictionaryTypeId; }

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) { return static_cast<CFIndex>(theDict->entries.size()); }

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key) {
  if (key == nullptr || CFGetTypeID(key) != CFStringGetTypeID()) return nullptr;
  auto entry = theDict->entries.find(static_cast<CFStringRef>(key)->units);
  return entry == theDict->entries.end() ? nullptr : entry->second.Get();
}
