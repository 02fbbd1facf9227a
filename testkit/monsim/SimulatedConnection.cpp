#include "testkit/monsim/SimulatedConnection.h"

#include <algorithm>
#include <chrono>

#include "testkit/monsim/Bus.h"

namespace monsim {

using Steady = std::chrono::steady_clock;

SimulatedConnection::SimulatedConnection(std::shared_ptr<detail::Bus> bus, std::shared_ptr<detail::LiveMonitor> monitor,
                                         std::size_t collection, std::shared_ptr<detail::InputQueue> queue,
                                         mchid::HidCollection description)
    : m_bus(std::move(bus)),
      m_monitor(std::move(monitor)),
      m_collection(collection),
      m_queue(std::move(queue)),
      m_description(std::move(description)) {}

SimulatedConnection::~SimulatedConnection() = default;

int SimulatedConnection::WriteReport(const unsigned char* data, std::size_t length) {
  if (data == nullptr || length == 0) return -1;
  std::lock_guard lock(m_bus->mutex);
  if (!m_queue->open) return -1;
  int result = m_monitor->Receive(m_collection, data, length, m_bus->requests);
  m_bus->changed.notify_all();
  return result;
}

int SimulatedConnection::ReadReport(unsigned char* data, std::size_t length, int milliseconds) {
  return ReadReport(data, length, milliseconds, {});
}

int SimulatedConnection::ReadReport(unsigned char* data, std::size_t length, int milliseconds,
                                    const std::function<bool()>& abandoned) {
  if (data == nullptr) return -1;
  const bool forever = milliseconds < 0;
  const auto deadline = Steady::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
  std::unique_lock lock(m_bus->mutex);
  bool spentOnHeldReply = false;
  for (;;) {
    if (!m_queue->open) return -1;
    if (!spentOnHeldReply && !m_queue->reports.empty()) {
      Outgoing& head = m_queue->reports.front();
      // A late reply counts read calls, not time; a read without limit gets it at once.
      if (forever || head.holdReads == 0) {
        std::size_t n = std::min(length, head.bytes.size());
        std::copy_n(head.bytes.begin(), n, data);
        m_queue->reports.pop_front();
        return static_cast<int>(n);
      }
      --head.holdReads;
      spentOnHeldReply = true;
    }
    if (!forever && (milliseconds == 0 || m_bus->waits == ReadWaits::Immediate)) return 0;
    auto slice = Steady::now() + std::chrono::milliseconds(100);
    m_bus->changed.wait_until(lock, forever ? slice : std::min(slice, deadline));
    if (abandoned && abandoned()) return -1;
    if (!forever && Steady::now() >= deadline) return m_queue->open ? 0 : -1;
  }
}

int SimulatedConnection::SendFeatureReport(const unsigned char*, std::size_t) { return -1; }

int SimulatedConnection::GetFeatureReport(unsigned char*, std::size_t) { return -1; }

bool SimulatedConnection::GetInputReport(unsigned char*, std::size_t) { return false; }

bool SimulatedConnection::SetOutputReport(const unsigned char* data, std::size_t length) {
  return WriteReport(data, length) >= 0;
}

}  // namespace monsim
