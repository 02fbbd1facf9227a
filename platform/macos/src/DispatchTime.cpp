#include "platform/macos/internal/DispatchTime.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

using Clock = std::chrono::steady_clock;

// The latest time there is; anything past it is DISPATCH_TIME_FOREVER.
constexpr auto kLatest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

std::uint64_t NowNanoseconds() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count());
}

}  // namespace

namespace macstandin {

std::optional<Clock::time_point> DeadlineOf(dispatch_time_t time) {
  if (time == DISPATCH_TIME_FOREVER) return std::nullopt;
  if (time == DISPATCH_TIME_NOW) return Clock::now();
  return Clock::time_point(std::chrono::nanoseconds(static_cast<std::int64_t>(std::min(time, kLatest))));
}

}  // namespace macstandin

dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta) {
  if (when == DISPATCH_TIME_FOREVER) return DISPATCH_TIME_FOREVER;
  const std::uint64_t base = when == DISPATCH_TIME_NOW ? NowNanoseconds() : when;
  if (delta >= 0) {
    const auto forward = static_cast<std::uint64_t>(delta);
    return base > kLatest || forward > kLatest - base ? DISPATCH_TIME_FOREVER : base + forward;
  }
  // The magnitude, computed unsigned so that the most negative delta has one too.
  const std::uint64_t back = std::uint64_t{0} - static_cast<std::uint64_t>(delta);
  // Before the clock's start is still a moment in the past, never DISPATCH_TIME_NOW.
  return back >= base ? 1 : base - back;
}
