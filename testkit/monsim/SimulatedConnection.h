// One open handle on a simulated collection. Each handle gets its own copy of every input
// report, as hidraw gives every open file its own queue.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "moncontrol/hid/HidBackend.h"

namespace monsim {

namespace detail {
struct Bus;
struct LiveMonitor;
struct InputQueue;
}  // namespace detail

class SimulatedConnection final : public mchid::HidConnection {
 public:
  SimulatedConnection(std::shared_ptr<detail::Bus> bus, std::shared_ptr<detail::LiveMonitor> monitor,
                      std::size_t collection, std::shared_ptr<detail::InputQueue> queue,
                      mchid::HidCollection description);
  ~SimulatedConnection() override;

  int WriteReport(const unsigned char* data, std::size_t length) override;
  int ReadReport(unsigned char* data, std::size_t length, int milliseconds) override;
  // As ReadReport; while it waits, `abandoned` is asked every 100 ms whether to give up (-1).
  int ReadReport(unsigned char* data, std::size_t length, int milliseconds,
                 const std::function<bool()>& abandoned);
  // The monitor has no feature reports and no input report to poll.
  int SendFeatureReport(const unsigned char* data, std::size_t length) override;
  int GetFeatureReport(unsigned char* data, std::size_t length) override;
  bool GetInputReport(unsigned char* data, std::size_t length) override;
  // The output report goes the same way as a written one.
  bool SetOutputReport(const unsigned char* data, std::size_t length) override;
  const mchid::HidCollection& Collection() const override { return m_description; }
  long long SystemHandle() const override { return -1; }

 private:
  const std::shared_ptr<detail::Bus> m_bus;
  const std::shared_ptr<detail::LiveMonitor> m_monitor;
  const std::size_t m_collection;
  const std::shared_ptr<detail::InputQueue> m_queue;
  const mchid::HidCollection m_description;
};

}  // namespace monsim
