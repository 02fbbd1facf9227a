#include <cstdio>
#include <cstdlib>

#include "platform/macos/internal/CFValues.h"

CFTypeID CFArrayGetTypeID() { return macstandin::kArrayTypeId; }

CFIndex CFArrayGetCount(CFArrayRef theArray) { return static_cast<CFIndex>(theArray->values.size()); }

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
  if (idx < 0 || idx >= CFArrayGetCount(theArray)) {
    std::fprintf(stderr, "CFArrayGetValueAtIndex: index %ld outside an array of %ld\n", idx, CFArrayGetCount(theArray));
    std::abort();
  }
  return theArray->values[static_cast<std::size_t>(idx)].Get();
}
