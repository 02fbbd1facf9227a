#include <cstdio>
#include <cstdlib>

#include "platform/macos/internal/CFValues.h"

// Markers only: nothing calls through them.
struct CFDictionaryKeyCallBacks {};
struct CFDictionaryValueCallBacks {};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks{};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks{};

namespace {

[[noreturn]] void Unsupported(const char* what) {
  std::fprintf(stderr, "CFDictionaryCreate: %s\n", what);
  std::abort();
}

}  // namespace

CFTypeID CFDictionaryGetTypeID() { return macstandin::kDictionaryTypeId; }

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef, const void** keys, const void** values, CFIndex numValues,
                                   const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks) {
  if (keyCallBacks != &kCFTypeDictionaryKeyCallBacks || valueCallBacks != &kCFTypeDictionaryValueCallBacks)
    Unsupported("only the CFType callbacks are supported");
  if (numValues < 0) Unsupported("a negative count");
  CFDictionaryObject::Entries entries;
  for (CFIndex i = 0; i < numValues; ++i) {
    if (keys[i] == nullptr || CFGetTypeID(keys[i]) != CFStringGetTypeID()) Unsupported("keys must be strings");
    if (values[i] == nullptr) Unsupported("a NULL value");
    entries.insert_or_assign(static_cast<CFStringRef>(keys[i])->units,
                             macstandin::Retained(static_cast<const macstandin::CFObject*>(values[i])));
  }
  return new CFDictionaryObject(std::move(entries));
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) { return static_cast<CFIndex>(theDict->entries.size()); }

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key) {
  if (key == nullptr || CFGetTypeID(key) != CFStringGetTypeID()) return nullptr;
  auto entry = theDict->entries.find(static_cast<CFStringRef>(key)->units);
  return entry == theDict->entries.end() ? nullptr : entry->second.Get();
}
