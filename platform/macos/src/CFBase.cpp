#include <cstdio>
#include <cstdlib>

#include "platform/macos/internal/CFObject.h"

namespace {

const macstandin::CFObject* Checked(CFTypeRef object, const char* call) {
  if (object == nullptr) {
    std::fprintf(stderr, "%s called with NULL\n", call);
    std::abort();
  }
  return static_cast<const macstandin::CFObject*>(object);
}

}  // namespace

CFTypeRef CFRetain(CFTypeRef object) {
  Checked(object, "CFRetain")->Retain();
  return object;
}

void CFRelease(CFTypeRef object) {
  const macstandin::CFObject* released = Checked(object, "CFRelease");
  if (released->Release()) delete released;
}

CFTypeID CFGetTypeID(CFTypeRef object) { return Checked(object, "CFGetTypeID")->TypeId(); }
