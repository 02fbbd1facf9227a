#include "platform/macos/internal/CFValues.h"

CFTypeID CFDataGetTypeID() { return macstandin::kDataTypeId; }

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length) {
  if (length < 0 || (length > 0 && bytes == nullptr)) return nullptr;
  return new CFDataObject(std::vector<UInt8>(bytes, bytes + length));
}
