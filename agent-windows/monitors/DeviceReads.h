// The few VCP reads and writes the agent makes on its own, beside the server's commands.
#pragma once

#include <cstdint>
#include <string>

#include "moncontrol/hid/HidApi.h"

inline constexpr std::uint8_t kDeviceMutexIndex = 0;

// [code, value] written; the result is not looked at: the values read later tell.
void WriteVcpValue(mchid::hid_device* handle, std::int32_t code, std::int32_t value);
std::int32_t CurrentVcpValue(mchid::hid_device* handle, std::int32_t code);
// The device-mutex status word of kDeviceMutexIndex: VCP 0xFA written with the index, then read
// back as (maximum << 16) | current.
std::uint32_t ReadDeviceMutexWord(mchid::hid_device* handle);
// ReadDeviceMutexWord stored in the serial's record, after the line "VCP_MUTEX_TEST -line
// <logLine> ..." that tells which of the agent's reads it was.
std::uint32_t RefreshDeviceMutexWord(mchid::hid_device* handle, const std::string& serial, int logLine);
