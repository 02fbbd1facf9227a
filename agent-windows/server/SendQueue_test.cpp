#include "agent-windows/server/SendQueue.h"

#include <string>

#include <gtest/gtest.h>

namespace {

SendItem Plain(const std::string& msg) { return SendItem{true, "", msg}; }
SendItem Progress(const std::string& serial, const std::string& msg) { return SendItem{true, serial, msg}; }

TEST(SendQueue, RemovesOnlyTheItemThatWasWritten) {
  SendQueue queue;
  queue.Push(Plain("old"));
  std::optional<SendQueue::Front> written = queue.CopyFront();
  ASSERT_TRUE(written);
  // A lost connection empties the queue and new messages arrive while the write runs.
  queue.Clear();
  queue.Push(Plain("new"));
  queue.RemoveFront(written->id);
  ASSERT_EQ(queue.Items().size(), 1u);
  EXPECT_EQ(queue.Items()[0].msg, "new");

  std::optional<SendQueue::Front> next = queue.CopyFront();
  ASSERT_TRUE(next);
  queue.RemoveFront(next->id);
  EXPECT_TRUE(queue.Items().empty());
}

struct DedupeCase {
  const char* name;
  int queuedBefore;
  bool dedupe;
  bool staleMarked;
};

class SendQueueDedupe : public ::testing::TestWithParam<DedupeCase> {};

TEST_P(SendQueueDedupe, FinalProgressMarksTheMonitorsStaleReportsOnlyInALongQueue) {
  const DedupeCase& c = GetParam();
  SendQueue queue;
  queue.Push(Progress("A", "a-first"));
  queue.Push(Progress("B", "b-first"));
  for (int i = 2; i < c.queuedBefore; ++i) queue.Push(Plain("report"));
  queue.PushKeyed(Progress("A", "a-final"), c.dedupe);

  std::vector<SendItem> items = queue.Items();
  ASSERT_EQ(items.size(), static_cast<size_t>(c.queuedBefore) + 1);
  EXPECT_EQ(items[0].needSend, !c.staleMarked);
  EXPECT_TRUE(items[1].needSend);  // another monitor's
  EXPECT_TRUE(items.back().needSend);
  EXPECT_EQ(items.back().msg, "a-final");
}

INSTANTIATE_TEST_SUITE_P(
    Queue, SendQueueDedupe,
    ::testing::Values(DedupeCase{"SixteenQueued", 16, true, true}, DedupeCase{"FifteenQueued", 15, true, false},
                      DedupeCase{"NotFinal", 30, false, false}),
    [](const ::testing::TestParamInfo<DedupeCase>& info) { return info.param.name; });

}  // namespace
