#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/macos/internal/CFValues.h"

namespace {

template <typename T>
void Store(T value, void* valuePtr) {
  std::memcpy(valuePtr, &value, sizeof value);
}

template <typename Int>
bool StoreInteger(long long value, void* valuePtr) {
  using Limits = std::numeric_limits<Int>;
  const bool fits = value >= Limits::min() && value <= Limits::max();
  Store<Int>(fits ? static_cast<Int>(value) : value < 0 ? Limits::min() : Limits::max(), valuePtr);
  return fits;
}

template <typename Int>
bool StoreInteger(double value, void* valuePtr) {
  using Limits = std::numeric_limits<Int>;
  // The bounds of a signed integer are powers of two, so exact in a double.
  const double lowest = static_cast<double>(Limits::min());
  if (std::isnan(value)) {
    Store<Int>(0, valuePtr);
    return false;
  }
  if (value <= lowest) {
    Store<Int>(Limits::min(), valuePtr);
    return value == lowest;
  }
  if (value >= -lowest) {
    Store<Int>(Limits::max(), valuePtr);
    return false;
  }
  const auto truncated = static_cast<Int>(value);
  Store<Int>(truncated, valuePtr);
  return static_cast<double>(truncated) == value;
}

bool StoreDouble(long long value, void* valuePtr) {
  const auto real = static_cast<double>(value);
  Store<double>(real, valuePtr);
  constexpr double kBeyondLongLong = 9223372036854775808.0;  // 2^63
  return real < kBeyondLongLong && static_cast<long long>(real) == value;
}

bool StoreDouble(double value, void* valuePtr) {
  Store<double>(value, valuePtr);
  return true;
}

}  // namespace

namespace macstandin {

CFNumberRef CreateNumber(long long value) { return new CFNumberObject(value); }
CFNumberRef CreateRealNumber(double value) { return new CFNumberObject(value); }

}  // namespace macstandin

CFTypeID CFNumberGetTypeID() { return macstandin::kNumberTypeId; }

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr) {
  return std::visit(
      [&](auto value) -> bool {
        switch (theType) {
          case kCFNumberSInt32Type: return StoreInteger<std::int32_t>(value, valuePtr);
          case kCFNumberSInt64Type: return StoreInteger<std::int64_t>(value, valuePtr);
          case kCFNumberDoubleType: return StoreDouble(value, valuePtr);
          default: return false;
        }
      },
      number->value);
}

Boolean CFNumberIsFloatType(CFNumberRef number) { return std::holds_alternative<double>(number->value); }
