#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <variant>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/internal/CFValues.h"

namespace {

using Stored = std::variant<std::int32_t, std::int64_t, double>;

// The value as theType, and whether the call called the conversion exact.
std::pair<Stored, bool> Get(CFNumberRef number, CFNumberType theType) {
  std::int32_t small = 0;
  std::int64_t large = 0;
  double real = 0;
  switch (theType) {
    case kCFNumberSInt32Type: {
      const bool exact = CFNumberGetValue(number, theType, &small);
      return {small, exact};
    }
    case kCFNumberSInt64Type: {
      const bool exact = CFNumberGetValue(number, theType, &large);
      return {large, exact};
    }
    default: {
      const bool exact = CFNumberGetValue(number, theType, &real);
      return {real, exact};
    }
  }
}

TEST(CFNumber, ConversionsClipTruncateAndSayWhetherTheyWereExact) {
  using Int64 = std::numeric_limits<std::int64_t>;
  using Int32 = std::numeric_limits<std::int32_t>;
  struct Case {
    std::variant<long long, double> value;
    CFNumberType type;
    Stored stored;
    bool exact;
  };
  const Case cases[] = {
      {7LL, kCFNumberSInt32Type, std::int32_t{7}, true},
      {-(1LL << 40), kCFNumberSInt32Type, Int32::min(), false},
      {1LL << 40, kCFNumberSInt32Type, Int32::max(), false},
      {Int64::min(), kCFNumberSInt64Type, Int64::min(), true},
      {1LL << 53, kCFNumberDoubleType, 9007199254740992.0, true},
      {(1LL << 53) + 1, kCFNumberDoubleType, 9007199254740992.0, false},
      {Int64::max(), kCFNumberDoubleType, 9223372036854775808.0, false},
      {3.0, kCFNumberSInt32Type, std::int32_t{3}, true},
      {-2.75, kCFNumberSInt32Type, std::int32_t{-2}, false},
      {1e300, kCFNumberSInt64Type, Int64::max(), false},
      {-9223372036854775808.0, kCFNumberSInt64Type, Int64::min(), true},
      {-1e300, kCFNumberSInt64Type, Int64::min(), false},
      {std::nan(""), kCFNumberSInt32Type, std::int32_t{0}, false},
      {0.1, kCFNumberDoubleType, 0.1, true},
  };
  for (const Case& c : cases) {
    CFNumberRef number = std::visit(
        [](auto value) {
          if constexpr (std::is_same_v<decltype(value), double>) return macstandin::CreateRealNumber(value);
          else return macstandin::CreateNumber(value);
        },
        c.value);
    EXPECT_EQ(CFNumberIsFloatType(number) != 0, std::holds_alternative<double>(c.value));
    const auto [stored, exact] = Get(number, c.type);
    EXPECT_EQ(stored, c.stored) << &c - cases;
    EXPECT_EQ(exact, c.exact) << &c - cases;
    CFRelease(number);
  }
}

TEST(CFNumber, UnsupportedTypeStoresNothing) {
  CFNumberRef number = macstandin::CreateNumber(5);
  std::int64_t untouched = 99;
  EXPECT_FALSE(CFNumberGetValue(number, 1 /* kCFNumberSInt8Type */, &untouched));
  EXPECT_EQ(untouched, 99);
  CFRelease(number);
}

}  // namespace
