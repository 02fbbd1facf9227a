// The VCP codes the agent reads, writes or reacts to on its own account.
#pragma once

#include <cstdint>

inline constexpr std::int32_t kVcpFactoryReset = 0x04;
inline constexpr std::int32_t kVcpUseTimes = 0xC0;
inline constexpr std::int32_t kVcpPowerMode = 0xD6;
inline constexpr std::int32_t kVcpUsbAlwaysOn = 0xEC;
inline constexpr std::int32_t kVcpLockStatus = 0xF6;
inline constexpr std::int32_t kVcpDeviceMutex = 0xFA;

// Written to kVcpUsbAlwaysOn: the monitor keeps its USB side powered.
inline constexpr std::int32_t kUsbAlwaysOnValue = 0xFF01;
