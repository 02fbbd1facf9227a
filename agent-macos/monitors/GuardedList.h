// A list guarded by a concurrent dispatch queue in reader/writer fashion: every change is a
// barrier block (appends asynchronous, takes synchronous), a whole-list read a plain block.
#pragma once

#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "platform/macos/Dispatch.h"

template <typename Item>
class GuardedList {
 public:
  explicit GuardedList(const char* label) : m_queue(dispatch_queue_create(label, DISPATCH_QUEUE_CONCURRENT)) {}
  ~GuardedList() {
    // Appends still queued refer to this list.
    dispatch_barrier_sync_f(m_queue, nullptr, [](void*) {});
    dispatch_release(m_queue);
  }
  GuardedList(const GuardedList&) = delete;
  GuardedList& operator=(const GuardedList&) = delete;

  // Returns without waiting.
  void append(Item item) {
    struct Append {
      GuardedList* list;
      Item item;
    };
    dispatch_barrier_async_f(m_queue, new Append{this, std::move(item)}, [](void* context) {
      auto* append = static_cast<Append*>(context);
      append->list->m_items.push_back(std::move(append->item));
      delete append;
    });
  }

  // The oldest item, none when the list is empty.
  std::optional<Item> takeFirst() {
    struct Take {
      GuardedList* list;
      std::optional<Item> item;
    } take{this, std::nullopt};
    dispatch_barrier_sync_f(m_queue, &take, [](void* context) {
      auto* take = static_cast<Take*>(context);
      if (take->list->m_items.empty()) return;
      take->item = std::move(take->list->m_items.front());
      take->list->m_items.pop_front();
    });
    return std::move(take.item);
  }

  std::vector<Item> snapshot() {
    struct Read {
      GuardedList* list;
      std::vector<Item> items;
    } read{this, {}};
    dispatch_sync_f(m_queue, &read, [](void* context) {
      auto* read = static_cast<Read*>(context);
      read->items.assign(read->list->m_items.begin(), read->list->m_items.end());
    });
    return std::move(read.items);
  }

 private:
  dispatch_queue_t m_queue;
  std::deque<Item> m_items;
};
