// A scripted monitor on the HID layer: each complete request written to it takes the next
// scripted answer (a list of messages, each split into padded input reports as the monitor
// sends them); every report written, every read's time-out and every request is recorded.
// Reads never block: with nothing due a read times out at once (and, when asked, moves a fake
// clock by its time-out, as a real read takes that long).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "moncontrol/hid/HidBackend.h"
#include "moncontrol/transport/CommandHeader.h"
#include "testkit/clock/FakeClock.h"

namespace testkit {

using Bytes = std::vector<std::uint8_t>;

// A reply or message as the monitor sends it: 32-byte header and payload.
struct ScriptedMessage {
  int timeoutsBefore = 0;  // reads that time out before its first report arrives
  Bytes bytes;
  // When not 0, the monitor trickles the message: reports of this many bytes, unpadded, each
  // after timeoutsBefore reads that time out.
  std::size_t bytesPerReport = 0;
};

// The answer to one request; the request's decoded header and bytes are given.
using Responder =
    std::function<std::vector<ScriptedMessage>(const tagMCCMD_HEADER& request, const Bytes& bytes)>;

class ScriptedHidDevice {
 public:
  explicit ScriptedHidDevice(mchid::HidCollection collection);

  const mchid::HidCollection& Collection() const { return m_collection; }

  // Answers, in order, the requests still to come; once they are used up, the standing
  // answer (none by default: no reply).
  void Answer(Responder responder);
  void AnswerEveryRequest(Responder responder);
  // The next count report writes fail.
  void FailNextWrites(int count);
  // A message that arrives without a request.
  void Send(ScriptedMessage message);
  // Every read that times out from now on advances clock by its time-out (null: none does).
  void PassTimeOutsOn(FakeClock* clock);

  std::vector<Bytes> Requests() const;  // complete requests, as reassembled
  std::vector<Bytes> Writes() const;    // every report that was accepted, report ID first
  int FailedWrites() const;
  std::vector<int> ReadTimeouts() const;  // the time-out of every read, in order
  std::size_t PendingReports() const;
  void ClearRecords();

  // The connection's side.
  int WriteReport(const std::uint8_t* data, std::size_t length);
  int ReadReport(std::uint8_t* data, std::size_t length, int milliseconds);

 private:
  struct PendingReport {
    int timeoutsBefore = 0;
    Bytes bytes;
  };

  void CompleteRequestLocked();
  void QueueLocked(const ScriptedMessage& message);

  const mchid::HidCollection m_collection;
  mutable std::mutex m_mutex;
  std::deque<Responder> m_script;
  Responder m_standing;
  int m_failWrites = 0;
  int m_failedWrites = 0;
  std::deque<PendingReport> m_reports;
  Bytes m_partial;                   // the request being written
  std::size_t m_partialMissing = 0;  // bytes of it still to come
  std::vector<Bytes> m_requests;
  std::vector<Bytes> m_writes;
  std::vector<int> m_readTimeouts;
  FakeClock* m_clock = nullptr;
};

// Backend over any number of scripted devices, found by their collection's path.
class ScriptedHidBackend final : public mchid::HidBackend {
 public:
  std::shared_ptr<ScriptedHidDevice> AddDevice(mchid::HidCollection collection);

  std::vector<mchid::HidCollection> Enumerate(std::uint16_t vendorId,
                                              std::uint16_t productId) override;
  std::unique_ptr<mchid::HidConnection> OpenPath(const std::string& path) override;

 private:
  std::mutex m_mutex;
  std::vector<std::shared_ptr<ScriptedHidDevice>> m_devices;
};

// The monitor-control collection of a monitor: 65-byte reports, report ID included.
mchid::HidCollection MonitorCollection(const std::string& path = "scripted:monitor0",
                                       const std::wstring& serial = L"SCRIPTED0001");

}  // namespace testkit
