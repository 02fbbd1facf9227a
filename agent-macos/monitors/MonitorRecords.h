// What a monitor updater reads from its monitors and keeps: plain values, copied on assignment.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// One monitor's identity as one read of its information table gave it.
struct ZunMonitorInfo {
  std::uint32_t vendor_id = 0;
  std::uint32_t product_id = 0;
  std::uint8_t deviceCount = 0;
  std::uint8_t i2cBufSize = 0;
  std::string modelName;
  std::string specialID;
  std::string vendorID;
  std::string sn;
  std::uint16_t overallVersionDebug = 0;
  std::uint16_t overallVersionRelease = 0;
};

// One enabled VCP code with its possible values; a code of the 0xF8 page has 0xF8 in its high byte.
struct ZunVcpFuncInfo {
  std::uint16_t vcpCode = 0;
  std::vector<std::uint16_t> values;
};

// One monitor's state as the report entries show it.
struct ZunCacheMonitorInfo {
  std::uint32_t vendor_id = 0;
  std::uint32_t product_id = 0;
  std::int32_t interface_number = 0;
  std::string sn;
  std::string modelName;
  std::string specialID;
  // The next report entry is the full one.
  bool need_update = false;
  std::uint64_t last_update_time = 0;
  // The next device read writes VCP 0xEC = 0xFF01.
  bool needSetUsbAlwayOn = false;
  std::uint8_t monitorStatus = 0;
  std::int32_t useTimes = 0;
  std::int32_t lockStatus = 0;
  // 0 or 1 from a device read; a change message stores the raw power mode.
  std::int32_t powerStatus = 0;
  std::vector<std::uint32_t> mutexStatus;
  std::uint16_t overallVersionDebug = 0;
  std::uint16_t overallVersionRelease = 0;
  std::vector<ZunVcpFuncInfo> vcpFuncMap;
  // One [code, current, maximum, 0] or [0xF8, sub-code, current, maximum] per vcpFuncMap entry.
  std::vector<std::array<std::int32_t, 4>> vcpValueCache;
};

struct ZunChildDeviceInfo {
  std::uint8_t type = 0;
  std::uint8_t ispID = 0;
  std::string fwID;
  std::string fwVer;
  std::string sn;
  std::string ultraData;
};

// A VCP change the monitor announced: [code, value, second value, 0] or [0xF8, sub-code, value,
// second value].
struct ZunVcpFeature {
  std::array<std::uint32_t, 4> values{};
};

// Cache fields are 32-bit signed; the device's larger values are kept at the top, never wrapped.
inline std::int32_t clampedToInt32(std::uint32_t value) {
  constexpr std::uint32_t top = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value > top ? top : value);
}
