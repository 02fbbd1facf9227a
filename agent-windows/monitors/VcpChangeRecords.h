// The VCP changes each monitor announced since the last heartbeat, kept per serial until the
// heartbeat's report takes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

// Appends the first count (at most 6) integers of record to the serial's records, or replaces
// the newest of them when it has the same code (and, on the 0xF8 page, the same sub-code).
// Throws std::range_error, storing nothing, for a serial that is not Unicode.
void AddVcpChangeRecord(const wchar_t* serial, const std::int32_t* record, std::size_t count);

// The serial's records, oldest first, each as its first three integers, and forgets them; null
// when the serial has none. "Key not found in messageMap" is logged only when another serial has
// records.
nlohmann::json TakeVcpChangeRecords(const std::string& serial);
