#include "fuzz/command_channel/FuzzedMonitor.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "moncontrol/transport/CommandHeader.h"

namespace fuzzing {
namespace {

constexpr std::uint8_t kTimeOut = 0x00;
constexpr std::uint8_t kReadFails = 0xFE;
constexpr std::uint8_t kWriteFails = 0xFF;
constexpr std::uint8_t kEchoCmdID = 0x80;
constexpr std::size_t kReportSize = 64;
constexpr std::size_t kCmdIDOffset = 8;
// A read without limit that finds nothing stands for this long a wait.
constexpr int kUnlimitedWaitMs = 1000;

class FuzzedConnection final : public mchid::HidConnection {
 public:
  explicit FuzzedConnection(FuzzedMonitor& monitor) : m_monitor(monitor) {}

  int WriteReport(const unsigned char* data, std::size_t length) override {
    return m_monitor.WriteReport(data, length);
  }
  int ReadReport(unsigned char* data, std::size_t length, int milliseconds) override {
    return m_monitor.ReadReport(data, length, milliseconds);
  }
  int SendFeatureReport(const unsigned char*, std::size_t) override { return -1; }
  int GetFeatureReport(unsigned char*, std::size_t) override { return -1; }
  bool GetInputReport(unsigned char*, std::size_t) override { return false; }
  bool SetOutputReport(const unsigned char*, std::size_t) override { return false; }
  const mchid::HidCollection& Collection() const override { return m_monitor.Collection(); }
  long long SystemHandle() const override { return -1; }

 private:
  FuzzedMonitor& m_monitor;
};

}  // namespace

FuzzedMonitor::FuzzedMonitor(testkit::FakeClock& clock)
    : m_clock(clock), m_collection(testkit::MonitorCollection("fuzzed:monitor", L"FUZZ0001")) {}

void FuzzedMonitor::Feed(const std::uint8_t* data, std::size_t size) {
  m_requests = std::make_unique<testkit::ScriptedHidDevice>(m_collection);
  m_requests->AnswerEveryRequest([this](const tagMCCMD_HEADER& request, const testkit::Bytes&) {
    m_lastCmdID = request.cmdID;
    return std::vector<testkit::ScriptedMessage>{};
  });
  m_lastCmdID = 0;
  m_next = data;
  m_end = data + size;
  m_onExhausted = nullptr;
  m_clock.ClearSleeps();
}

int FuzzedMonitor::WriteReport(const std::uint8_t* data, std::size_t length) {
  if (m_next != m_end && *m_next == kWriteFails) {
    ++m_next;
    return -1;
  }
  return m_requests->WriteReport(data, length);
}

int FuzzedMonitor::ReadReport(std::uint8_t* data, std::size_t length, int milliseconds) {
  if (m_next == m_end) {
    if (m_onExhausted) m_onExhausted();
    return TimeOut(milliseconds);
  }
  const std::uint8_t control = *m_next++;
  if (control == kTimeOut || control == kWriteFails) return TimeOut(milliseconds);
  if (control == kReadFails) return -1;

  const std::size_t count = control & 0x7F;
  const bool padded = count == 0 || count > kReportSize;
  std::uint8_t report[kReportSize] = {};
  const std::size_t wanted = padded ? kReportSize : count;
  const std::size_t taken = std::min(wanted, static_cast<std::size_t>(m_end - m_next));
  std::memcpy(report, m_next, taken);
  m_next += taken;
  const std::size_t size = padded ? kReportSize : taken;
  if ((control & kEchoCmdID) != 0 && size >= kCmdIDOffset + 4) {
    for (std::size_t i = 0; i < 4; ++i) report[kCmdIDOffset + i] = static_cast<std::uint8_t>(m_lastCmdID >> (8 * i));
  }
  const std::size_t stored = std::min(length, size);
  std::memcpy(data, report, stored);
  return static_cast<int>(stored);
}

int FuzzedMonitor::TimeOut(int milliseconds) {
  m_clock.Advance(std::chrono::milliseconds(milliseconds < 0 ? kUnlimitedWaitMs : milliseconds));
  return 0;
}

std::vector<mchid::HidCollection> FuzzedBackend::Enumerate(std::uint16_t vendorId, std::uint16_t productId) {
  const mchid::HidCollection& c = m_monitor.Collection();
  if ((vendorId != 0 && vendorId != c.vendor_id) || (productId != 0 && productId != c.product_id)) return {};
  return {c};
}

std::unique_ptr<mchid::HidConnection> FuzzedBackend::OpenPath(const std::string& path) {
  if (path != m_monitor.Collection().path) return nullptr;
  return std::make_unique<FuzzedConnection>(m_monitor);
}

}  // namespace fuzzing
