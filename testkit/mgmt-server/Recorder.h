// What the server has seen and how it is told to behave: the only state shared between the
// I/O thread and the test's threads, all of it under one mutex.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "testkit/mgmt-server/MgmtServer.h"

namespace testkit::mgmt {

class Recorder {
 public:
  // An accepted upgrade counts as open from the same moment it is recorded. Returns its index.
  std::size_t AddAcceptedUpgrade(MgmtUpgrade upgrade);
  // Refused, or dropped while it was being accepted.
  void AddUpgradeNotOpen(MgmtUpgrade upgrade);
  void ConnectionClosed();
  void AddMessage(MgmtMessage message);
  void AddPackageRequest(std::string target);
  void AddTlsHandshake();
  void AddCloseCode(std::uint16_t code);

  std::vector<MgmtUpgrade> Upgrades(std::size_t first = 0) const;
  std::vector<MgmtMessage> Messages(std::size_t first = 0) const;
  std::vector<std::string> PackageRequests() const;
  std::size_t OpenConnections() const;
  std::size_t TlsHandshakes() const;
  std::vector<std::uint16_t> CloseCodes() const;

  bool WaitForUpgrades(std::size_t n, std::chrono::milliseconds limit) const;
  bool WaitForMessages(std::size_t n, std::chrono::milliseconds limit) const;
  bool WaitForMessageContaining(const std::string& part, std::chrono::milliseconds limit) const;
  bool WaitForCloseCodes(std::size_t n, std::chrono::milliseconds limit) const;

  void SetRefuseUpgrades(bool refuse);
  bool RefuseUpgrades() const;
  void SetSilent(bool silent);
  bool Silent() const;

  void ServePackage(const std::string& name, const std::string& bytes);
  std::optional<std::string> Package(const std::string& name) const;

 private:
  bool WaitUntil(std::chrono::milliseconds limit, const std::function<bool()>& done) const;

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<MgmtUpgrade> m_upgrades;
  std::vector<MgmtMessage> m_messages;
  std::vector<std::string> m_packageRequests;
  std::size_t m_open = 0;
  std::size_t m_tlsHandshakes = 0;
  std::vector<std::uint16_t> m_closeCodes;
  bool m_refuse = false;
  bool m_silent = false;
  std::map<std::string, std::string> m_packages;
};

}  // namespace testkit::mgmt
