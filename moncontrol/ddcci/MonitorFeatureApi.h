// The maker's extended settings, addressed as VCP 0xF8 = sub-feature code, then VCP 0xF7 =
// its value, and two status reads through function calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/Export.h"
#include "moncontrol/hid/HidApi.h"

// VCP 0xF8 selects a sub-feature; VCP 0xF7 then reads or writes its value.
inline constexpr std::uint8_t kVcpExtendedSelect = 0xF8;
inline constexpr std::uint8_t kVcpExtendedValue = 0xF7;

// Bytes GetGsensorStatus delivers.
inline constexpr std::size_t kGsensorStatusLength = 16;

// Selects subCode, then reads (or writes) VCP 0xF7 straight after. A failed select is
// returned as it is, without the 0xF7 exchange. MC_ERR_INVALID_ARG, nothing sent, for a null
// handle (or a null output).
TARVIK_EXPORT std::int32_t GetMonitorFeature(mchid::hid_device* handle, std::int32_t subCode, std::int32_t* current,
                                             std::int32_t* maximum);
TARVIK_EXPORT std::int32_t SetMonitorFeature(mchid::hid_device* handle, std::int32_t subCode, std::int32_t value);

// Function code 32: *status receives the reply's first four data bytes, little-endian. The
// call's status; MC_ERR_INVALID_ARG for a null status; MC_ERR_BAD_REPLY when the reply brings
// fewer than four data bytes. *status is set only on success.
TARVIK_EXPORT std::int32_t GetHPDStatus(mchid::hid_device* handle, std::int32_t* status);
// Function code 33: the reply's data, at most kGsensorStatusLength bytes, go into status16
// (kGsensorStatusLength bytes), zeros after a shorter reply. The call's status;
// MC_ERR_INVALID_ARG for a null buffer; MC_ERR_BAD_REPLY when the reply brings no data. The
// buffer is written only on success.
TARVIK_EXPORT std::int32_t GetGsensorStatus(mchid::hid_device* handle, void* status16);
