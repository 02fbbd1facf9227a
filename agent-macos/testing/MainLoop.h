// Serving the main run loop from a test's main thread, where the agent's notifications, IOKit
// callbacks and main-queue work arrive.
#pragma once

#include <chrono>
#include <functional>

namespace agentmactest {

// Runs the loop until done holds; false at the time limit.
bool RunMainLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace agentmactest
