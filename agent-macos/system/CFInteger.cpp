#include "agent-macos/system/CFInteger.h"

#include <cmath>

std::optional<std::int64_t> integerOf(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID()) return std::nullopt;
  auto number = static_cast<CFNumberRef>(value);
  if (CFNumberIsFloatType(number)) {
    double real = 0;
    CFNumberGetValue(number, kCFNumberDoubleType, &real);
    // 2^63 itself is out of range; every double below it converts exactly.
    if (!std::isfinite(real) || real != std::trunc(real) || real < -0x1p63 || real >= 0x1p63) return std::nullopt;
    return static_cast<std::int64_t>(real);
  }
  std::int64_t whole = 0;
  CFNumberGetValue(number, kCFNumberSInt64Type, &whole);
  return whole;
}
