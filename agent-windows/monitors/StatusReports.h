// The "displayStatusReport" texts the agent sends about its monitors.
#pragma once

#include <string>

// The heartbeat's report, from the registry alone (no device I/O): every monitor with a serial,
// with the VCP changes it announced since the last heartbeat, which this call consumes. Never
// fails: on an exception the report goes out with an empty "monitorList".
std::string GetSampleMonitorInfo();
