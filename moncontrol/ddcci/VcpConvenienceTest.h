// What the tests of the VCP convenience functions share: the Set VCP payloads they expect
// and the Get VCP replies a display sends.
#pragma once

#include <cstdint>

#include "moncontrol/ddcci/DdcciTest.h"

// 51 84 03 vcp valueHigh valueLow chk
inline Bytes SetVcpPayload(std::uint8_t vcp, std::uint16_t value) {
  Bytes payload{0x51, 0x84, 0x03, vcp, static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
  std::uint8_t checksum = 0x6E;
  for (std::uint8_t b : payload) checksum ^= b;
  payload.push_back(checksum);
  return payload;
}

// 51 82 01 vcp chk
inline Bytes GetVcpPayload(std::uint8_t vcp) {
  return {0x51, 0x82, 0x01, vcp, static_cast<std::uint8_t>(0x6E ^ 0x51 ^ 0x82 ^ 0x01 ^ vcp)};
}

