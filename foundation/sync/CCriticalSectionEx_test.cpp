#include "foundation/sync/CCriticalSectionEx.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// Threads that enter twice each (the owner re-enters) still exclude one another: the plain
// counter ends exact, and ThreadSanitizer sees no race on it.
TEST(CCriticalSectionExTest, ExcludesOtherThreadsAndLetsTheOwnerReenter) {
  CCriticalSectionEx lock;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) {
        lock.Lock();
        lock.Lock();
        long seen = counter;
        lock.Unlock();
        counter = seen + 1;
        lock.Unlock();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 4000);
}

}  // namespace
