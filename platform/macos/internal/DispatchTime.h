// How a dispatch_time_t is read: nanoseconds of the steady clock up to INT64_MAX, with
// DISPATCH_TIME_NOW and DISPATCH_TIME_FOREVER set apart.
#pragma once

#include <chrono>
#include <optional>

#include "platform/macos/api/Dispatch.h"

namespace macstandin {

// The moment the time stands for; nothing for DISPATCH_TIME_FOREVER.
std::optional<std::chrono::steady_clock::time_point> DeadlineOf(dispatch_time_t time);

}  // namespace macstandin
