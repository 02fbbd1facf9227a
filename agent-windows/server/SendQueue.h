// The queue of messages waiting for the send thread. Only the send thread takes items off the
// front, and only the item it wrote: a clear and new items in between never lose a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct SendItem {
  bool needSend = true;  // false: dropped unsent when it reaches the front
  std::string msgKey;    // groups a monitor's progress reports; empty for plain messages
  std::string msg;
};

class SendQueue {
 public:
  struct Front {
    std::uint64_t id;
    SendItem item;
  };

  // Returns the queue's length after the append.
  std::size_t Push(SendItem item);
  // With dedupe set and 16 or more items queued, the queued items of the same key are marked
  // not to be sent, so that a monitor's final progress overtakes its stale ones.
  void PushKeyed(SendItem item, bool dedupe);
  std::optional<Front> CopyFront() const;
  // Removes the front item if it is still the one copied.
  void RemoveFront(std::uint64_t id);
  void Clear();
  std::vector<SendItem> Items() const;

 private:
  struct Entry {
    std::uint64_t id;
    SendItem item;
  };

  mutable std::mutex m_mutex;
  std::deque<Entry> m_items;
  std::uint64_t m_nextId = 0;
};
