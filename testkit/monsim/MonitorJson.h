// The JSON forms of the simulator's monitors, faults, messages and recorded requests, as the
// monsim program reads them from its monitor file and its control socket. Bad input throws
// JsonFormError with a message that names the offending place.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testkit/monsim/Faults.h"
#include "testkit/monsim/Messages.h"
#include "testkit/monsim/MonitorDescription.h"
#include "testkit/monsim/Simulator.h"

namespace monsim {

class JsonFormError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct MonitorEntry {
  MonitorDescription description;
  bool plugged = true;
};

// {"monitors": [monitor, ...]}
std::vector<MonitorEntry> ParseMonitorFile(const std::string& text);
std::vector<MonitorEntry> LoadMonitorFile(const std::string& path);

// `where` names the value in messages, e.g. "monitors[1]".
MonitorEntry ParseMonitor(const nlohmann::json& value, const std::string& where);
Fault ParseFault(const nlohmann::json& value, const std::string& where);
DeviceMessage ParseMessage(const nlohmann::json& value, const std::string& where);
// A VCP code or port: a hex text of one byte ("10", "0x10").
std::uint8_t ParseHexByte(const nlohmann::json& value, const std::string& where);

nlohmann::json RequestToJson(const RecordedRequest& request);
nlohmann::json VcpToJson(const VcpValue& value);

}  // namespace monsim
