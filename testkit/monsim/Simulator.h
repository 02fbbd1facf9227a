// The simulated monitors on the bus, as a HID backend. A test installs it in-process with
// mchid::SetHidBackend; the monsim program serves it to other processes. Every request the
// monitors receive is recorded. A monitor's collections have the paths "monsim/<id>/<index>".
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "moncontrol/hid/HidBackend.h"
#include "moncontrol/transport/CommandHeader.h"
#include "testkit/monsim/Faults.h"
#include "testkit/monsim/Messages.h"
#include "testkit/monsim/MonitorDescription.h"
#include "testkit/monsim/SimulatedConnection.h"

namespace monsim {

namespace detail {
struct Bus;
}
class MessageTimers;

// How a read that finds nothing waits out its time-out. Immediate suits tests on the fake
// clock (a finite time-out returns 0 at once); RealTime suits other processes. A read
// without limit (-1) waits for data or an unplug in both.
enum class ReadWaits { Immediate, RealTime };

struct RecordedRequest {
  std::string monitorId;
  std::string path;
  tagMCCMD_HEADER header{};
  std::vector<std::uint8_t> payload;
  bool signatureValid = false;
  // When it arrived: milliseconds of tarvik::CurrentClock() since its epoch, for the
  // order and pacing of requests.
  std::int64_t timeMs = 0;
};

class Simulator final : public mchid::HidBackend {
 public:
  explicit Simulator(ReadWaits waits = ReadWaits::Immediate);
  ~Simulator() override;
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Adds a monitor, plugged in unless `plugged` is false, and returns its id: the given one,
  // else its serial number when that is plain ASCII, else "monitor<N>". A known id is taken
  // over only from an unplugged monitor; throws std::invalid_argument otherwise.
  std::string Add(MonitorDescription monitor, bool plugged = true);
  // A known monitor comes (back) with the state it had. False when unknown or plugged.
  bool Plug(const std::string& id);
  // Its open connections fail from now on. False when unknown or not plugged.
  bool Unplug(const std::string& id);
  std::vector<std::string> PluggedMonitors() const;
  // Called after every plug and unplug (an Add of a plugged monitor too) with the monitor's id
  // and whether it is plugged in now, on the caller's thread and outside the simulator's lock.
  // Set it before the simulator is shared.
  using PlugChangeCallback = std::function<void(const std::string& id, bool plugged)>;
  void OnPlugChange(PlugChangeCallback callback) { m_onPlugChange = std::move(callback); }

  // port: a monitor chained behind it; none: the monitor itself. A code it lacks is added.
  bool SetVcp(const std::string& id, std::uint8_t code, std::uint16_t value,
              std::optional<std::uint8_t> port = std::nullopt);
  std::optional<VcpValue> Vcp(const std::string& id, std::uint8_t code,
                              std::optional<std::uint8_t> port = std::nullopt) const;
  // The same for a sub-feature of the extended page (VCP F8); adding one gives a display
  // without the page one.
  bool SetExtendedVcp(const std::string& id, std::uint16_t subCode, std::uint16_t value,
                      std::optional<std::uint8_t> port = std::nullopt);
  std::optional<VcpValue> ExtendedVcp(const std::string& id, std::uint16_t subCode,
                                      std::optional<std::uint8_t> port = std::nullopt) const;
  // The live state of a known monitor: what Set requests, I2C writes and function calls made it.
  std::optional<MonitorDescription> State(const std::string& id) const;
  bool QueueFault(const std::string& id, const Fault& fault);
  // Sends an unsolicited message to every open connection of its control collections.
  bool EmitMessage(const std::string& id, const DeviceMessage& message);
  // Emits the message every interval until StopMessageTimers (nothing while unplugged).
  // False for an unknown monitor or an interval below 1 ms.
  bool EmitMessageEvery(const std::string& id, const DeviceMessage& message, std::chrono::milliseconds interval);
  // False when the monitor had no timer.
  bool StopMessageTimers(const std::string& id);
  // Handles open on the monitor as it is plugged in now.
  std::size_t OpenHandles(const std::string& id) const;

  std::vector<RecordedRequest> Requests() const;
  void ClearRequests();

  std::vector<mchid::HidCollection> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override;
  std::unique_ptr<mchid::HidConnection> OpenPath(const std::string& path) override;
  std::unique_ptr<SimulatedConnection> Open(const std::string& path);

 private:
  void PlugChanged(const std::string& id, bool plugged) const;

  PlugChangeCallback m_onPlugChange;
  std::shared_ptr<detail::Bus> m_bus;
  // Declared last: its threads end before the bus goes.
  std::unique_ptr<MessageTimers> m_timers;
};

}  // namespace monsim
