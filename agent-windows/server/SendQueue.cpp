#include "agent-windows/server/SendQueue.h"

namespace {

// More than this many queued items lets a final progress report mark its stale ones.
constexpr std::size_t kDedupeThreshold = 15;

}  // namespace

std::size_t SendQueue::Push(SendItem item) {
  std::lock_guard lock(m_mutex);
  m_items.push_back({m_nextId++, std::move(item)});
  return m_items.size();
}

void SendQueue::PushKeyed(SendItem item, bool dedupe) {
  std::lock_guard lock(m_mutex);
  if (dedupe && m_items.size() > kDedupeThreshold) {
    for (Entry& entry : m_items)
      if (entry.item.msgKey == item.msgKey) entry.item.needSend = false;
  }
  m_items.push_back({m_nextId++, std::move(item)});
}

std::optional<SendQueue::Front> SendQueue::CopyFront() const {
  std::lock_guard lock(m_mutex);
  if (m_items.empty()) return std::nullopt;
  return Front{m_items.front().id, m_items.front().item};
}

void SendQueue::RemoveFront(std::uint64_t id) {
  std::lock_guard lock(m_mutex);
  if (!m_items.empty() && m_items.front().id == id) m_items.pop_front();
}

void SendQueue::Clear() {
  std::lock_guard lock(m_mutex);
  m_items.clear();
}

std::vector<SendItem> SendQueue::Items() const {
  std::lock_guard lock(m_mutex);
  std::vector<SendItem> items;
  for (const Entry& entry : m_items) items.push_back(entry.item);
  return items;
}
