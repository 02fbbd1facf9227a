// The control commands of the monsim program, one JSON object each:
//   {"cmd": "plug", "monitor": {...}}       a new monitor (the monitor file's form); "id" in the answer
//   {"cmd": "plug", "id": "S1"}             a known monitor comes back
//   {"cmd": "unplug", "id": "S1"}
//   {"cmd": "list"}                         "plugged": the ids of the plugged monitors
//   {"cmd": "set-vcp", "id": "S1", "code": "10", "value": 30, "port": "1"}   port: a chained monitor
//   {"cmd": "get-vcp", "id": "S1", "code": "10"}                            "vcp": {current, maximum, type}
//   {"cmd": "set-vcp", "id": "S1", "code": "F8", "subCode": "05", "value": 1}  and get-vcp likewise: a
//                                           sub-feature of the extended page ("extended" in the monitor file)
//   {"cmd": "fault", "id": "S1", "fault": {"kind": "late", "value": 3, "count": 1}}
//   {"cmd": "emit", "id": "S1", "message": {"funcCode": 38, "subCode": 16, "param3": 30, "data": "01 02"}}
//   {"cmd": "emit-every", "id": "S1", "intervalMs": 1000, "message": {...}}   until stop-emitting
//   {"cmd": "stop-emitting", "id": "S1"}
//   {"cmd": "handles", "id": "S1"}          "handles": the handles open on it now
//   {"cmd": "requests"}                     "requests": every request received so far
//   {"cmd": "clear-requests"}
// The answer is {"ok": true, ...} or {"ok": false, "error": "..."}.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "testkit/monsim/Simulator.h"

namespace monsim {

nlohmann::json ExecuteControlCommand(Simulator& simulator, const std::string& text);

}  // namespace monsim
