// The monitor-information and child-device tables in the byte form a monitor delivers them.
// Written apart from the library's records on purpose, so that a layout mistake on either
// side shows. Texts are cut to their fields; one that fills its field has no NUL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace monsim {

struct MonitorInfoFields {
  std::uint8_t deviceCount = 1;
  std::uint8_t i2cBufSize = 32;
  std::string modelName;  // 24 bytes
  std::string specialID;  // 4
  std::string vendorID;   // 4
  std::string sn;         // 24
  std::uint16_t debugVersion = 0;
  std::uint16_t releaseVersion = 0;
};

struct ChildDeviceFields {
  std::uint8_t type = 0;
  std::uint8_t ispID = 0;
  std::string fwID;       // 12 bytes
  std::string fwVer;      // 12
  std::string sn;         // 24
  std::string ultraData;  // 48
};

// 62 bytes; the versions little-endian.
std::vector<std::uint8_t> EncodeMonitorInfo(const MonitorInfoFields& info);
// 98 bytes.
std::vector<std::uint8_t> EncodeChildDevice(const ChildDeviceFields& child);

}  // namespace monsim
