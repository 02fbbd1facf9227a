// The "displayStatusReport" texts the agent sends about its monitors.
#pragma once

#include <string>
#include <vector>

#include "agent-windows/monitors/StatusEntries.h"
#include "moncontrol/hid/HidApi.h"

// The heartbeat's report, from the registry alone (no device I/O): every monitor with a serial,
// with the VCP changes it announced since the last heartbeat, which this call consumes. Never
// fails: on an exception the report goes out with an empty "monitorList".
std::string GetSampleMonitorInfo();

// The refresh thread's report, read from the devices of the monitors due for one; each such
// monitor's registry values are updated as read. The stale mark is cleared only for monitors
// whose entry is in the returned text; a dropped entry leaves its monitor due. Called while
// "Global\HalvaneSDK" is held.
std::string GetAllInfo();

// The codes of the model's enabled features that the monitor's capability string lists, with
// their values, at most 100; empty when the string cannot be read.
std::vector<VcpValueList> GetVcpFuncMap(mchid::hid_device* handle);
