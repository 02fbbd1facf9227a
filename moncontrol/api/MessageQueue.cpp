#include "moncontrol/api/MessageQueue.h"

#include "foundation/clock/Clock.h"

void Enqueue(const void*, std::int32_t) {}

bool Dequeue(std::int32_t, void*, std::int32_t, std::int32_t*) { return true; }

bool IsQueueEmpty() { return true; }

bool WaitForMessage(std::int32_t, void*, std::int32_t*) {
  // Hosts wait here for a message that never comes: the wait must end.
  for (int poll = 0; poll < kWaitForMessagePolls && IsQueueEmpty(); ++poll) tarvik::SleepMs(10);
  return false;
}
