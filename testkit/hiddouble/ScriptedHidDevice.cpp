#include "testkit/hiddouble/ScriptedHidDevice.h"

#include <algorithm>
#include <cstring>

namespace testkit {
namespace {

class ScriptedConnection final : public mchid::HidConnection {
 public:
  explicit ScriptedConnection(std::shared_ptr<ScriptedHidDevice> device)
      : m_device(std::move(device)) {}

  int WriteReport(const unsigned char* data, std::size_t length) override {
    return m_device->WriteReport(data, length);
  }
  int ReadReport(unsigned char* data, std::size_t length, int milliseconds) override {
    return m_device->ReadReport(data, length, milliseconds);
  }
  int SendFeatureReport(const unsigned char*, std::size_t) override { return -1; }
  int GetFeatureReport(unsigned char*, std::size_t) override { return -1; }
  bool GetInputReport(unsigned char*, std::size_t) override { return false; }
  bool SetOutputReport(const unsigned char*, std::size_t) override { return false; }
  const mchid::HidCollection& Collection() const override { return m_device->Collection(); }
  long long SystemHandle() const override { return -1; }

 private:
  std::shared_ptr<ScriptedHidDevice> m_device;
};

}  // namespace

ScriptedHidDevice::ScriptedHidDevice(mchid::HidCollection collection)
    : m_collection(std::move(collection)) {}

void ScriptedHidDevice::Answer(Responder responder) {
  std::lock_guard lock(m_mutex);
  m_script.push_back(std::move(responder));
}

void ScriptedHidDevice::AnswerEveryRequest(Responder responder) {
  std::lock_guard lock(m_mutex);
  m_standing = std::move(responder);
}

void ScriptedHidDevice::FailNextWrites(int count) {
  std::lock_guard lock(m_mutex);
  m_failWrites = count;
}

void ScriptedHidDevice::Send(ScriptedMessage message) {
  std::lock_guard lock(m_mutex);
  QueueLocked(message);
}

void ScriptedHidDevice::PassTimeOutsOn(FakeClock* clock) {
  std::lock_guard lock(m_mutex);
  m_clock = clock;
}

std::vector<Bytes> ScriptedHidDevice::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

std::vector<Bytes> ScriptedHidDevice::Writes() const {
  std::lock_guard lock(m_mutex);
  return m_writes;
}

int ScriptedHidDevice::FailedWrites() const {
  std::lock_guard lock(m_mutex);
  return m_failedWrites;
}

std::vector<int> ScriptedHidDevice::ReadTimeouts() const {
  std::lock_guard lock(m_mutex);
  return m_readTimeouts;
}

std::size_t ScriptedHidDevice::PendingReports() const {
  std::lock_guard lock(m_mutex);
  return m_reports.size();
}

void ScriptedHidDevice::ClearRecords() {
  std::lock_guard lock(m_mutex);
  m_requests.clear();
  m_writes.clear();
  m_readTimeouts.clear();
  m_failedWrites = 0;
}

int ScriptedHidDevice::WriteReport(const std::uint8_t* data, std::size_t length) {
  std::lock_guard lock(m_mutex);
  if (m_failWrites > 0) {
    --m_failWrites;
    ++m_failedWrites;
    return -1;
  }
  m_writes.emplace_back(data, data + length);
  if (m_partialMissing == 0) {
    // A new request: its header tells how much follows, padding does not belong to it.
    std::size_t total = length;
    if (length >= kMccmdHeaderSize) total = kMccmdHeaderSize + LoadMccmdHeader(data).dataLength;
    std::size_t taken = std::min(total, length);
    m_partial.assign(data, data + taken);
    m_partialMissing = total - taken;
  } else if (length > 1) {
    // A continuation report: its own report ID, then the next request bytes.
    std::size_t taken = std::min(m_partialMissing, length - 1);
    m_partial.insert(m_partial.end(), data + 1, data + 1 + taken);
    m_partialMissing -= taken;
  }
  if (m_partialMissing == 0) CompleteRequestLocked();
  return static_cast<int>(length);
}

int ScriptedHidDevice::ReadReport(std::uint8_t* data, std::size_t length, int milliseconds) {
  std::lock_guard lock(m_mutex);
  m_readTimeouts.push_back(milliseconds);
  if (m_reports.empty() || m_reports.front().timeoutsBefore > 0) {
    if (!m_reports.empty()) --m_reports.front().timeoutsBefore;
    if (m_clock != nullptr && milliseconds > 0) {
      m_clock->Advance(std::chrono::milliseconds(milliseconds));
    }
    return 0;
  }
  PendingReport& next = m_reports.front();
  std::size_t n = std::min(length, next.bytes.size());
  std::memcpy(data, next.bytes.data(), n);
  m_reports.pop_front();
  return static_cast<int>(n);
}

void ScriptedHidDevice::CompleteRequestLocked() {
  Bytes request = std::move(m_partial);
  m_partial.clear();
  m_requests.push_back(request);
  Responder responder = m_standing;
  if (!m_script.empty()) {
    responder = std::move(m_script.front());
    m_script.pop_front();
  }
  if (!responder) return;
  tagMCCMD_HEADER header{};
  if (request.size() >= kMccmdHeaderSize) header = LoadMccmdHeader(request.data());
  for (const ScriptedMessage& message : responder(header, request)) QueueLocked(message);
}

void ScriptedHidDevice::QueueLocked(const ScriptedMessage& message) {
  if (message.bytesPerReport > 0) {
    for (std::size_t offset = 0; offset < message.bytes.size(); offset += message.bytesPerReport) {
      std::size_t chunk = std::min(message.bytesPerReport, message.bytes.size() - offset);
      const auto from = message.bytes.begin() + static_cast<std::ptrdiff_t>(offset);
      m_reports.push_back({message.timeoutsBefore, Bytes(from, from + static_cast<std::ptrdiff_t>(chunk))});
    }
    return;
  }
  // The first report carries the header and up to 32 payload bytes, each later one the raw
  // rest; every report is padded to the input report's length (its report ID removed).
  const std::size_t reportSize =
      m_collection.input_report_length > 1 ? m_collection.input_report_length - 1u : 64u;
  std::size_t offset = 0;
  bool first = true;
  do {
    std::size_t chunk =
        first ? std::min(kMccmdReceiveHeaderSize + kMccmdReportPayload, reportSize) : reportSize;
    chunk = std::min(chunk, message.bytes.size() - offset);
    PendingReport report;
    report.timeoutsBefore = first ? message.timeoutsBefore : 0;
    report.bytes.assign(reportSize, 0);
    std::memcpy(report.bytes.data(), message.bytes.data() + offset, chunk);
    m_reports.push_back(std::move(report));
    offset += chunk;
    first = false;
  } while (offset < message.bytes.size());
}

std::shared_ptr<ScriptedHidDevice> ScriptedHidBackend::AddDevice(mchid::HidCollection collection) {
  auto device = std::make_shared<ScriptedHidDevice>(std::move(collection));
  std::lock_guard lock(m_mutex);
  m_devices.push_back(device);
  return device;
}

std::vector<mchid::HidCollection> ScriptedHidBackend::Enumerate(std::uint16_t vendorId,
                                                                std::uint16_t productId) {
  std::lock_guard lock(m_mutex);
  std::vector<mchid::HidCollection> found;
  for (const auto& device : m_devices) {
    const mchid::HidCollection& c = device->Collection();
    if ((vendorId == 0 || c.vendor_id == vendorId) &&
        (productId == 0 || c.product_id == productId)) {
      found.push_back(c);
    }
  }
  return found;
}

std::unique_ptr<mchid::HidConnection> ScriptedHidBackend::OpenPath(const std::string& path) {
  std::lock_guard lock(m_mutex);
  for (const auto& device : m_devices) {
    if (device->Collection().path == path) return std::make_unique<ScriptedConnection>(device);
  }
  return nullptr;
}

mchid::HidCollection MonitorCollection(const std::string& path, const std::wstring& serial) {
  mchid::HidCollection c;
  c.path = path;
  c.vendor_id = 0x3A71;
  c.product_id = 0xF00F;
  c.serial_number = serial;
  c.usage_page = 0x80;
  c.usage = 1;
  c.interface_number = 0;
  c.input_report_length = 65;
  c.output_report_length = 65;
  return c;
}

}  // namespace testkit
