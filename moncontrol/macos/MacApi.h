// What the macOS library adds to the flat API: opening a monitor by its listed record with
// retries, a typed view of a received report, and the listeners addressed by record.
#pragma once

#include <cstdint>

#include "foundation/Export.h"
#include "moncontrol/api/MonCtrlInfo.h"
#include "moncontrol/hid/HidApi.h"
#include "moncontrol/transport/CommandHeader.h"
#include "moncontrol/transport/ListenerApi.h"

// A negative time-out waits this long.
inline constexpr int kOpenMonCtrl3DefaultTimeoutMs = 120000;
inline constexpr int kOpenMonCtrl3RetryMs = 100;

// Tries OpenMonCtrl2 with the record's IDs, serial and interface every kOpenMonCtrl3RetryMs
// until timeoutMs have passed (0: one attempt). The handle, or null.
TARVIK_EXPORT mchid::hid_device* OpenMonCtrl3(const tagMONCTRLINFO* info, int timeoutMs);
// Opens by vendor, product and serial (the interface cannot tell collections apart here);
// nothing is registered, so no device key or mutex goes with the handle.
TARVIK_EXPORT mchid::hid_device* OpenMonCtrl2(std::uint32_t vendorId, std::uint32_t productId,
                                              const wchar_t* serial, std::int32_t interfaceNumber);

// The report's first 32 bytes as a received header, in place.
TARVIK_EXPORT tagMCCMD_RECEIVE_HEADER* GetMccmdHeader(std::uint8_t* report);

TARVIK_EXPORT std::int32_t SetFuncCallbackByInfo(const tagMONCTRLINFO* info, FuncCallback callback);
TARVIK_EXPORT std::int32_t StopMonCtrlListenerByInfo(const tagMONCTRLINFO* info);
