#include "testkit/mgmt-server/Recorder.h"

namespace testkit::mgmt {

std::size_t Recorder::AddAcceptedUpgrade(MgmtUpgrade upgrade) {
  std::size_t index = 0;
  {
    std::lock_guard lock(m_mutex);
    index = m_upgrades.size();
    m_upgrades.push_back(std::move(upgrade));
    ++m_open;
  }
  m_changed.notify_all();
  return index;
}

void Recorder::AddUpgradeNotOpen(MgmtUpgrade upgrade) {
  {
    std::lock_guard lock(m_mutex);
    m_upgrades.push_back(std::move(upgrade));
  }
  m_changed.notify_all();
}

void Recorder::ConnectionClosed() {
  {
    std::lock_guard lock(m_mutex);
    if (m_open > 0) --m_open;
  }
  m_changed.notify_all();
}

void Recorder::AddMessage(MgmtMessage message) {
  {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(std::move(message));
  }
  m_changed.notify_all();
}

void Recorder::AddPackageRequest(std::string target) {
  std::lock_guard lock(m_mutex);
  m_packageRequests.push_back(std::move(target));
}

void Recorder::AddTlsHandshake() {
  std::lock_guard lock(m_mutex);
  ++m_tlsHandshakes;
}

void Recorder::AddCloseCode(std::uint16_t code) {
  {
    std::lock_guard lock(m_mutex);
    m_closeCodes.push_back(code);
  }
  m_changed.notify_all();
}

std::vector<MgmtUpgrade> Recorder::Upgrades(std::size_t first) const {
  std::lock_guard lock(m_mutex);
  if (first >= m_upgrades.size()) return {};
  return {m_upgrades.begin() + static_cast<std::ptrdiff_t>(first), m_upgrades.end()};
}

std::vector<MgmtMessage> Recorder::Messages(std::size_t first) const {
  std::lock_guard lock(m_mutex);
  if (first >= m_messages.size()) return {};
  return {m_messages.begin() + static_cast<std::ptrdiff_t>(first), m_messages.end()};
}

std::vector<std::string> Recorder::PackageRequests() const {
  std::lock_guard lock(m_mutex);
  return m_packageRequests;
}

std::size_t Recorder::OpenConnections() const {
  std::lock_guard lock(m_mutex);
  return m_open;
}

std::size_t Recorder::TlsHandshakes() const {
  std::lock_guard lock(m_mutex);
  return m_tlsHandshakes;
}

std::vector<std::uint16_t> Recorder::CloseCodes() const {
  std::lock_guard lock(m_mutex);
  return m_closeCodes;
}

bool Recorder::WaitUntil(std::chrono::milliseconds limit, const std::function<bool()>& done) const {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, limit, done);
}

bool Recorder::WaitForUpgrades(std::size_t n, std::chrono::milliseconds limit) const {
  return WaitUntil(limit, [&] { return m_upgrades.size() >= n; });
}

bool Recorder::WaitForMessages(std::size_t n, std::chrono::milliseconds limit) const {
  return WaitUntil(limit, [&] { return m_messages.size() >= n; });
}

bool Recorder::WaitForCloseCodes(std::size_t n, std::chrono::milliseconds limit) const {
  return WaitUntil(limit, [&] { return m_closeCodes.size() >= n; });
}

bool Recorder::WaitForMessageContaining(const std::string& part,
                                        std::chrono::milliseconds limit) const {
  std::size_t checked = 0;  // each message is searched once, however often the wait wakes
  return WaitUntil(limit, [&] {
    for (; checked < m_messages.size(); ++checked) {
      const MgmtMessage& m = m_messages[checked];
      if (m.text && m.data.find(part) != std::string::npos) return true;
    }
    return false;
  });
}

void Recorder::SetRefuseUpgrades(bool refuse) {
  std::lock_guard lock(m_mutex);
  m_refuse = refuse;
}

bool Recorder::RefuseUpgrades() const {
  std::lock_guard lock(m_mutex);
  return m_refuse;
}

void Recorder::SetSilent(bool silent) {
  std::lock_guard lock(m_mutex);
  m_silent = silent;
}

bool Recorder::Silent() const {
  std::lock_guard lock(m_mutex);
  return m_silent;
}

void Recorder::ServePackage(const std::string& name, const std::string& bytes) {
  std::lock_guard lock(m_mutex);
  m_packages[name] = bytes;
}

std::optional<std::string> Recorder::Package(const std::string& name) const {
  std::lock_guard lock(m_mutex);
  auto it = m_packages.find(name);
  if (it == m_packages.end()) return std::nullopt;
  return it->second;
}

}  // namespace testkit::mgmt
