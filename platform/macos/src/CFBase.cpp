#include <cstdio>
#include <cstdlib>

#include "platform/macos/internal/CFObject.h"

namespace macstandin {

const CFObject* CheckedObject(CFTypeRef object, const char* call) {
  if (object == nullptr) {
    std::fprintf(stderr, "%s called with NULL\n", call);
    std::abort();
  }
  return static_cast<const CFObject*>(object);
}

}  // namespace macstandin

using macstandin::CheckedObject;

CFTypeRef CFRetain(CFTypeRef object) {
  CheckedObject(object, "CFRetain")->Retain();
  return object;
}

void CFRelease(CFTypeRef object) {
  const macstandin::CFObject* released = CheckedObject(object, "CFRelease");
  if (released->Release()) delete released;
}

CFTypeID CFGetTypeID(CFTypeRef object) { return CheckedObject(object, "CFGetTypeID")->TypeId(); }
