// The JSON forms of the simulator's monitors, faults, messages and recorded requests, as the
// monsim program reads them from its monitor file and its control socket. Bad input throws
// JsonFormError with a message that names the offending place; unknown keys are refused.
//
// Monitor (every key optional; defaults in MonitorDescription.h):
//   {"id": "left", "serial": "S1", "manufacturer": null, "product": "Halvane 27",
//    "vendorId": 14961, "productId": 61455, "release": 256,
//    "collections": [{"usagePage": 128, "usage": 1, "interface": 0,
//                     "inputReportLength": 65, "outputReportLength": 65}, ...],
//    "vcp": {"10": {"current": 50, "maximum": 100, "type": 0}, ...},
//    "extended": {"05": {"current": 1, "maximum": 1, "type": 0}, ...},
//    "capabilities": "(prot(monitor)vcp(10))", "capabilityFragment": 32,
//    "chain": [{"port": "1", "vcp": {...}, "extended": {...}, "capabilities": "..."}],
//    "vendor": {...} (testkit/monsim/vendor/VendorJson.h; a chained monitor may have one too),
//    "plugged": true}
// A missing or null string is one the device does not report. VCP codes and ports are hex
// texts of one byte; "extended" is the maker's page behind VCP F8, keyed by sub-feature code
// (1 to 4 hex digits). A code may be given once only. Without "collections" the monitor has
// one control collection, interface 0.
// Fault: {"kind": "status" | "late" | "missing" | "duplicate" | "mismatch" |
//   "messages-before" | "bad-checksum" | "hostile-data-length" | "hostile-ddc-length" |
//   "write-failure" | "vanish", "value": n, "count": n, "message": {...}} (Faults.h).
// Message: {"funcCode": 38, "subCode": 16, "param3": 30, "param4": 0, "data": "01 02"}.
// Recorded request: {"monitor": "S1", "path": "monsim/S1/0", "cmdID": n, "cmdType": n,
//   "param1": n, ... "param4": n, "dataLength": n, "payload": "51 82 01 10 AC",
//   "signatureValid": true, "timeMs": n}; timeMs is its arrival in milliseconds of the
//   steady clock, for the order and pacing of requests.
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
// A sub-feature code of the extended page: 1 to 4 hex digits ("05", "0x0102").
std::uint16_t ParseSubCode(const nlohmann::json& value, const std::string& where);

nlohmann::json RequestToJson(const RecordedRequest& request);
nlohmann::json VcpToJson(const VcpValue& value);

}  // namespace monsim
