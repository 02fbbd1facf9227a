#include "platform/macos/internal/CFValues.h"

CFIndex CFSetGetCount(CFSetRef set) { return static_cast<CFIndex>(set->values.size()); }

void CFSetGetValues(CFSetRef set, const void** values) {
  for (const auto& value : set->values) *values++ = value.Get();
}
