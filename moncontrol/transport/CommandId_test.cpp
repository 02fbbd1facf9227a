#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "moncontrol/api/CommandHeaderApi.h"
#include "moncontrol/transport/CommandId.h"

namespace {

// One test: the counter is process-wide and starts at zero once.
TEST(CommandId, CounterBitsShowThroughTheRandomBits) {
  EXPECT_EQ(GetCmdID(1) & 0xFF, 0x01);
  EXPECT_EQ(GetCmdID(0) & 0xFF, 0x01);
  EXPECT_EQ(GetCmdID(0) & 0xFF, 0x01);
  EXPECT_EQ(GetCmdID(1) & 0xFF, 0x02);

  for (int i = 2; i < 256; ++i) GetCmdID(1);
  // The counter is now 256: its bit 8 is OR-ed over the random byte.
  for (int i = 0; i < 16; ++i) {
    std::int32_t id = GetCmdID(0);
    EXPECT_EQ(id & 0xFF, 0x00);
    EXPECT_EQ(id & 0x100, 0x100);
  }
}

TEST(CommandId, ConcurrentAdvancesAreNotLost) {
  const int start = GetCmdID(0) & 0xFF;
  constexpr int kThreads = 4;
  constexpr int kPerThread = 250;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < kPerThread; ++i) GetCmdID(1);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(GetCmdID(0) & 0xFF, (start + kThreads * kPerThread) & 0xFF);
}

TEST(CommandId, RandomShortSpansTheWholeRange) {
  std::set<bool> signs;
  for (int i = 0; i < 64; ++i) signs.insert(GetRandomShort() < 0);
  EXPECT_EQ(signs.size(), 2u);
}

}  // namespace
