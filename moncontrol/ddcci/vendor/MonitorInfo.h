// A monitor's information table as the monitor delivers it (vendor table 0xA1). The buffer
// that CallGetMonitorInfo returns starts with it. Packed; on the little-endian hosts the
// library runs on the struct is the table's byte form, so callers read it in place.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct tagZunMONITORINFO {
  std::uint8_t deviceCount;
  std::uint8_t i2cBufSize;
  char modelName[24];  // the text fields need not hold a NUL: read them within their width
  char specialID[4];
  char vendorID[4];
  char sn[24];
  std::uint16_t overallVersionDebug;
  std::uint16_t overallVersionRelease;
};

#pragma pack(pop)

static_assert(sizeof(tagZunMONITORINFO) == 62);
static_assert(offsetof(tagZunMONITORINFO, modelName) == 2);
static_assert(offsetof(tagZunMONITORINFO, specialID) == 26);
static_assert(offsetof(tagZunMONITORINFO, vendorID) == 30);
static_assert(offsetof(tagZunMONITORINFO, sn) == 34);
static_assert(offsetof(tagZunMONITORINFO, overallVersionDebug) == 58);
static_assert(offsetof(tagZunMONITORINFO, overallVersionRelease) == 60);
