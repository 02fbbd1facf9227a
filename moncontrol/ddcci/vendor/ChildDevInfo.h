// One child device's information as the monitor delivers it (vendor table 0xA2). The buffer
// that CallGetChildInfo returns starts with it. Packed, bytes only.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct tagCHILDDEVINFO {
  std::uint8_t type;
  std::uint8_t ispID;
  char fwID[12];  // the text fields need not hold a NUL: read them within their width
  char fwVer[12];
  char sn[24];
  char ultraData[48];
};

#pragma pack(pop)

static_assert(sizeof(tagCHILDDEVINFO) == 98);
static_assert(offsetof(tagCHILDDEVINFO, fwID) == 2);
static_assert(offsetof(tagCHILDDEVINFO, fwVer) == 14);
static_assert(offsetof(tagCHILDDEVINFO, sn) == 26);
static_assert(offsetof(tagCHILDDEVINFO, ultraData) == 50);

// One info line with every field; the texts in the thread's ANSI code page, each up to its
// first NUL within its width.
void LogChildDevInfo(const tagCHILDDEVINFO* info);
