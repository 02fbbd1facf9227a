#include <cstdint>
#include <limits>

#include "platform/macos/internal/CFValues.h"

namespace macstandin {

CFNumberRef CreateNumber(long long value) { return new CFNumberObject(value); }

}  // namespace macstandin

CFTypeID CFNumberGetTypeID() { return macstandin::kNumberTypeId; }

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr) {
  if (theType != kCFNumberSInt32Type) return false;
  using Limits = std::numeric_limits<std::int32_t>;
  long long value = number->value;
  bool fits = value >= Limits::min() && value <= Limits::max();
  *static_cast<std::int32_t*>(valuePtr) = static_cast<std::int32_t>(fits ? value : value < 0 ? Limits::min() : Limits::max());
  return fits;
}
