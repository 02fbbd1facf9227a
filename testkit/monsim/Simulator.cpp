#include "testkit/monsim/Simulator.h"

#include <algorithm>
#include <stdexcept>

#include "testkit/monsim/Bus.h"
#include "testkit/monsim/MessageTimers.h"

namespace monsim {
namespace {

bool IsPlainAscii(const std::wstring& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c > 0x20 && c < 0x7F; });
}

std::string DefaultId(const MonitorDescription& monitor, std::size_t known) {
  if (monitor.serial && IsPlainAscii(*monitor.serial)) return {monitor.serial->begin(), monitor.serial->end()};
  return "monitor" + std::to_string(known + 1);
}

// A display's VCP page or its extended page.
template <typename Code>
using Page = std::map<Code, VcpValue> Display::*;

template <typename Code>
bool SetValue(detail::Bus& bus, const std::string& id, std::optional<std::uint8_t> port, Page<Code> page, Code code,
              std::uint16_t value) {
  std::lock_guard lock(bus.mutex);
  auto monitor = bus.Find(id);
  Display* display = monitor ? monitor->FindDisplay(port) : nullptr;
  if (!display) return false;
  (display->*page)[code].current = value;
  return true;
}

template <typename Code>
std::optional<VcpValue> Value(detail::Bus& bus, const std::string& id, std::optional<std::uint8_t> port,
                              Page<Code> page, Code code) {
  std::lock_guard lock(bus.mutex);
  auto monitor = bus.Find(id);
  Display* display = monitor ? monitor->FindDisplay(port) : nullptr;
  if (!display) return std::nullopt;
  auto it = (display->*page).find(code);
  if (it == (display->*page).end()) return std::nullopt;
  return it->second;
}

}  // namespace

Simulator::Simulator(ReadWaits waits)
    : m_bus(std::make_shared<detail::Bus>(waits)), m_timers(std::make_unique<MessageTimers>(*this)) {}

Simulator::~Simulator() {
  // Connections may outlive the simulator: they fail from now on, and blocked reads wake.
  std::lock_guard lock(m_bus->mutex);
  for (auto& monitor : m_bus->monitors) monitor->PullOut();
  m_bus->changed.notify_all();
}

std::string Simulator::Add(MonitorDescription monitor, bool plugged) {
  std::string id;
  {
    std::lock_guard lock(m_bus->mutex);
    if (monitor.id.empty()) monitor.id = DefaultId(monitor, m_bus->monitors.size());
    auto live = std::make_shared<detail::LiveMonitor>();
    live->state = std::move(monitor);
    if (plugged) live->PlugIn();
    auto& monitors = m_bus->monitors;
    auto known = std::find_if(monitors.begin(), monitors.end(),
                              [&](const auto& m) { return m->state.id == live->state.id; });
    if (known == monitors.end()) {
      monitors.push_back(live);
    } else if ((*known)->plugged) {
      throw std::invalid_argument("monitor \"" + live->state.id + "\" is plugged in already");
    } else {
      *known = live;
    }
    m_bus->changed.notify_all();
    id = live->state.id;
  }
  if (plugged) PlugChanged(id, true);
  return id;
}

bool Simulator::Plug(const std::string& id) {
  {
    std::lock_guard lock(m_bus->mutex);
    auto monitor = m_bus->Find(id);
    if (!monitor || monitor->plugged) return false;
    monitor->PlugIn();
  }
  PlugChanged(id, true);
  return true;
}

bool Simulator::Unplug(const std::string& id) {
  {
    std::lock_guard lock(m_bus->mutex);
    auto monitor = m_bus->Find(id);
    if (!monitor || !monitor->plugged) return false;
    monitor->PullOut();
    m_bus->changed.notify_all();
  }
  PlugChanged(id, false);
  return true;
}

void Simulator::PlugChanged(const std::string& id, bool plugged) const {
  if (m_onPlugChange) m_onPlugChange(id, plugged);
}

std::vector<std::string> Simulator::PluggedMonitors() const {
  std::lock_guard lock(m_bus->mutex);
  std::vector<std::string> ids;
  for (const auto& monitor : m_bus->monitors)
    if (monitor->plugged) ids.push_back(monitor->state.id);
  return ids;
}

bool Simulator::SetVcp(const std::string& id, std::uint8_t code, std::uint16_t value,
                       std::optional<std::uint8_t> port) {
  return SetValue(*m_bus, id, port, &Display::vcp, code, value);
}

std::optional<VcpValue> Simulator::Vcp(const std::string& id, std::uint8_t code,
                                       std::optional<std::uint8_t> port) const {
  return Value(*m_bus, id, port, &Display::vcp, code);
}

bool Simulator::SetExtendedVcp(const std::string& id, std::uint16_t subCode, std::uint16_t value,
                               std::optional<std::uint8_t> port) {
  return SetValue(*m_bus, id, port, &Display::extended, subCode, value);
}

std::optional<VcpValue> Simulator::ExtendedVcp(const std::string& id, std::uint16_t subCode,
                                               std::optional<std::uint8_t> port) const {
  return Value(*m_bus, id, port, &Display::extended, subCode);
}

std::optional<MonitorDescription> Simulator::State(const std::string& id) const {
  std::lock_guard lock(m_bus->mutex);
  auto monitor = m_bus->Find(id);
  if (!monitor) return std::nullopt;
  return monitor->state;
}

bool Simulator::QueueFault(const std::string& id, const Fault& fault) {
  std::lock_guard lock(m_bus->mutex);
  auto monitor = m_bus->Find(id);
  if (!monitor) return false;
  monitor->faults.Push(fault);
  return true;
}

bool Simulator::EmitMessage(const std::string& id, const DeviceMessage& message) {
  std::lock_guard lock(m_bus->mutex);
  auto monitor = m_bus->Find(id);
  if (!monitor || !monitor->plugged) return false;
  std::vector<Outgoing> out{{EncodeReply(MessageReply(message))}};
  for (std::size_t i = 0; i < monitor->collections.size(); ++i)
    if (monitor->collections[i].description.IsControl()) monitor->Deliver(i, out);
  m_bus->changed.notify_all();
  return true;
}

bool Simulator::EmitMessageEvery(const std::string& id, const DeviceMessage& message,
                                 std::chrono::milliseconds interval) {
  if (interval.count() < 1 || !State(id)) return false;
  m_timers->Start(id, message, interval);
  return true;
}

bool Simulator::StopMessageTimers(const std::string& id) { return m_timers->Stop(id); }

std::size_t Simulator::OpenHandles(const std::string& id) const {
  std::lock_guard lock(m_bus->mutex);
  auto monitor = m_bus->Find(id);
  if (!monitor) return 0;
  std::size_t open = 0;
  for (const detail::LiveCollection& c : monitor->collections)
    for (const auto& weak : c.readers)
      if (auto queue = weak.lock(); queue && queue->open) ++open;
  return open;
}

std::vector<RecordedRequest> Simulator::Requests() const {
  std::lock_guard lock(m_bus->mutex);
  return m_bus->requests;
}

void Simulator::ClearRequests() {
  std::lock_guard lock(m_bus->mutex);
  m_bus->requests.clear();
}

std::vector<mchid::HidCollection> Simulator::Enumerate(std::uint16_t vendorId, std::uint16_t productId) {
  std::lock_guard lock(m_bus->mutex);
  std::vector<mchid::HidCollection> found;
  for (const auto& monitor : m_bus->monitors) {
    if (!monitor->plugged) continue;
    if (vendorId != 0 && vendorId != monitor->state.vendorId) continue;
    if (productId != 0 && productId != monitor->state.productId) continue;
    for (std::size_t i = 0; i < monitor->collections.size(); ++i) found.push_back(monitor->Describe(i));
    if (monitor->faults.TakeVanish()) monitor->PullOut();
  }
  m_bus->changed.notify_all();
  return found;
}

std::unique_ptr<mchid::HidConnection> Simulator::OpenPath(const std::string& path) { return Open(path); }

std::unique_ptr<SimulatedConnection> Simulator::Open(const std::string& path) {
  std::lock_guard lock(m_bus->mutex);
  for (const auto& monitor : m_bus->monitors) {
    for (std::size_t i = 0; i < monitor->collections.size(); ++i) {
      detail::LiveCollection& c = monitor->collections[i];
      if (c.path != path) continue;
      auto queue = std::make_shared<detail::InputQueue>();
      c.readers.push_back(queue);
      return std::make_unique<SimulatedConnection>(m_bus, monitor, i, queue, monitor->Describe(i));
    }
  }
  return nullptr;
}

}  // namespace monsim
