// A monitor on the HID layer whose input reports come from a fuzz input. The input is a run
// of reports, each led by a control byte:
//   0x00                 the read times out
//   0xFE                 the read fails
//   0xFF                 the next report write fails (a read that meets it times out)
//   otherwise            bits 0-6: 1-64 bytes follow, 0 or 65-127 a full 64-byte report
//                        (padded with zeros when the input runs short); bit 7 set: bytes
//                        8-11 of the report take the cmdID of the last request written, as
//                        a reply's header carries it
// Once the input is used up, every read times out. A read that times out advances the
// installed FakeClock by its time-out, so the library's deadlines and pauses take no real time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "moncontrol/hid/HidBackend.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/hiddouble/ScriptedHidDevice.h"

namespace fuzzing {

class FuzzedMonitor {
 public:
  explicit FuzzedMonitor(testkit::FakeClock& clock);

  // Starts a new input; the recorded requests of the last one are forgotten.
  void Feed(const std::uint8_t* data, std::size_t size);
  // Called by every read once the input is used up (a listener's stop, for instance).
  void OnExhausted(std::function<void()> hook) { m_onExhausted = std::move(hook); }

  const mchid::HidCollection& Collection() const { return m_collection; }

  int WriteReport(const std::uint8_t* data, std::size_t length);
  int ReadReport(std::uint8_t* data, std::size_t length, int milliseconds);

 private:
  int TimeOut(int milliseconds);

  testkit::FakeClock& m_clock;
  const mchid::HidCollection m_collection;
  // Reassembles the requests written, to learn the cmdID that replies echo.
  std::unique_ptr<testkit::ScriptedHidDevice> m_requests;
  std::uint32_t m_lastCmdID = 0;
  const std::uint8_t* m_next = nullptr;
  const std::uint8_t* m_end = nullptr;
  std::function<void()> m_onExhausted;
};

// Backend that lists the one fuzzed monitor and opens any number of handles to it.
class FuzzedBackend final : public mchid::HidBackend {
 public:
  explicit FuzzedBackend(FuzzedMonitor& monitor) : m_monitor(monitor) {}

  std::vector<mchid::HidCollection> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override;
  std::unique_ptr<mchid::HidConnection> OpenPath(const std::string& path) override;

 private:
  FuzzedMonitor& m_monitor;
};

}  // namespace fuzzing
