// Runs the test thread's loop until what the test waits for has happened.
#pragma once

#include <chrono>
#include <functional>

#include "platform/macos/CoreFoundation.h"

namespace macstandin::testing {

// True once done holds; false when it still does not after a generous deadline.
inline bool RunLoopUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.5, true);
  }
  return done();
}

}  // namespace macstandin::testing
