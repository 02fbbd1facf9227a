// A HID device source for tests: scripted collections whose connections record what is
// written and hand out queued input reports. Header only, so tests of the macOS build link
// nothing of the Windows build.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "moncontrol/hid/HidBackend.h"

namespace macstandin::testing {

using Bytes = std::vector<std::uint8_t>;

// One collection's device. Once unplugged it is no longer listed, reads return what was
// queued and then fail, and every other call fails.
class ScriptedDevice {
 public:
  explicit ScriptedDevice(mchid::HidCollection collection) : m_collection(std::move(collection)) {}

  const mchid::HidCollection& Collection() const { return m_collection; }

  void QueueInput(std::vector<Bytes> reports) {
    {
      std::lock_guard lock(m_mutex);
      m_input.insert(m_input.end(), reports.begin(), reports.end());
    }
    m_changed.notify_all();
  }
  void Unplug() {
    {
      std::lock_guard lock(m_mutex);
      m_unplugged = true;
    }
    m_changed.notify_all();
  }
  // Empty reads return at once instead of waiting for their time-out.
  void AnswerEmptyReadsAtOnce() {
    std::lock_guard lock(m_mutex);
    m_answerAtOnce = true;
  }
  // What the device answers to a request for an input or feature report, after the ID byte.
  void SetReportContent(Bytes content) {
    std::lock_guard lock(m_mutex);
    m_reportContent = std::move(content);
  }
  bool Unplugged() const { return Locked(m_unplugged); }

  std::vector<Bytes> Written() const { return Locked(m_written); }
  std::vector<Bytes> FeaturesSent() const { return Locked(m_features); }
  std::size_t WriteAttempts() const { return Locked(m_writeAttempts); }
  std::vector<std::chrono::steady_clock::time_point> ReadTimes() const { return Locked(m_readTimes); }

  int WriteReport(const unsigned char* data, std::size_t length) { return Write(m_written, data, length); }
  int SendFeatureReport(const unsigned char* data, std::size_t length) { return Write(m_features, data, length); }
  void RefuseWrites() {
    std::lock_guard lock(m_mutex);
    m_refuse = true;
  }

  int ReadReport(unsigned char* data, std::size_t length, int milliseconds) {
    std::unique_lock lock(m_mutex);
    m_readTimes.push_back(std::chrono::steady_clock::now());
    auto ready = [this] { return !m_input.empty() || m_unplugged || m_answerAtOnce; };
    if (milliseconds < 0) {
      m_changed.wait(lock, ready);
    } else {
      m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
    }
    if (m_input.empty()) return m_unplugged ? -1 : 0;
    Bytes report = std::move(m_input.front());
    m_input.pop_front();
    std::size_t n = std::min(length, report.size());
    std::copy_n(report.begin(), n, data);
    return static_cast<int>(n);
  }

  // data[0] holds the report ID; the content follows it.
  int FillReport(unsigned char* data, std::size_t length) {
    std::lock_guard lock(m_mutex);
    if (m_unplugged) return -1;
    std::size_t n = std::min(length - 1, m_reportContent.size());
    std::copy_n(m_reportContent.begin(), n, data + 1);
    return static_cast<int>(n + 1);
  }

 private:
  int Write(std::vector<Bytes>& log, const unsigned char* data, std::size_t length) {
    std::lock_guard lock(m_mutex);
    ++m_writeAttempts;
    if (m_unplugged || m_refuse) return -1;
    log.emplace_back(data, data + length);
    return static_cast<int>(length);
  }

  template <typename T>
  T Locked(const T& value) const {
    std::lock_guard lock(m_mutex);
    return value;
  }

  const mchid::HidCollection m_collection;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<Bytes> m_input;
  bool m_unplugged = false;
  bool m_answerAtOnce = false;
  bool m_refuse = false;
  Bytes m_reportContent;
  std::vector<Bytes> m_written;
  std::vector<Bytes> m_features;
  std::size_t m_writeAttempts = 0;
  std::vector<std::chrono::steady_clock::time_point> m_readTimes;
};

class ScriptedConnection final : public mchid::HidConnection {
 public:
  explicit ScriptedConnection(std::shared_ptr<ScriptedDevice> device) : m_device(std::move(device)) {}

  int WriteReport(const unsigned char* data, std::size_t length) override { return m_device->WriteReport(data, length); }
  int ReadReport(unsigned char* data, std::size_t length, int milliseconds) override {
    return m_device->ReadReport(data, length, milliseconds);
  }
  int SendFeatureReport(const unsigned char* data, std::size_t length) override {
    return m_device->SendFeatureReport(data, length);
  }
  int GetFeatureReport(unsigned char* data, std::size_t length) override { return m_device->FillReport(data, length); }
  bool GetInputReport(unsigned char* data, std::size_t length) override {
    return m_device->FillReport(data, length) >= 0;
  }
  bool SetOutputReport(const unsigned char* data, std::size_t length) override {
    return m_device->WriteReport(data, length) >= 0;
  }
  const mchid::HidCollection& Collection() const override { return m_device->Collection(); }
  long long SystemHandle() const override { return -1; }

 private:
  const std::shared_ptr<ScriptedDevice> m_device;
};

class ScriptedHidSource final : public mchid::HidBackend {
 public:
  std::shared_ptr<ScriptedDevice> Add(mchid::HidCollection collection) {
    auto device = std::make_shared<ScriptedDevice>(std::move(collection));
    std::lock_guard lock(m_mutex);
    m_devices.push_back(device);
    return device;
  }

  std::vector<mchid::HidCollection> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override {
    std::lock_guard lock(m_mutex);
    std::vector<mchid::HidCollection> collections;
    for (const auto& device : m_devices) {
      const mchid::HidCollection& c = device->Collection();
      if (!device->Unplugged() && (vendorId == 0 || c.vendor_id == vendorId) && (productId == 0 || c.product_id == productId)) {
        collections.push_back(c);
      }
    }
    return collections;
  }

  std::unique_ptr<mchid::HidConnection> OpenPath(const std::string& path) override {
    std::lock_guard lock(m_mutex);
    for (const auto& device : m_devices) {
      if (device->Collection().path == path && !device->Unplugged()) return std::make_unique<ScriptedConnection>(device);
    }
    return nullptr;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::shared_ptr<ScriptedDevice>> m_devices;
};

}  // namespace macstandin::testing
