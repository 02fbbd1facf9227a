#include <string>

#include "moncontrol/api/MessageQueue.h"
#include "moncontrol/api/MonCtrlTest.h"

namespace {

using MessageQueueTest = MonCtrlTest;

TEST_F(MessageQueueTest, IsAlwaysEmptyAndTheWaitEnds) {
  char message[4] = {'a', 'b', 'c', 'd'};
  std::int32_t extra = 7;
  Enqueue(message, sizeof message);
  EXPECT_TRUE(IsQueueEmpty());
  EXPECT_TRUE(Dequeue(1, message, sizeof message, &extra));
  EXPECT_EQ(std::string(message, 4), "abcd");
  EXPECT_EQ(extra, 7);

  EXPECT_FALSE(WaitForMessage(1, message, &extra));
  EXPECT_FALSE(WaitForMessage(1, nullptr, nullptr));
  EXPECT_EQ(m_clock.TotalSleptMs(), 2 * kWaitForMessagePolls * 10);
}

}  // namespace
