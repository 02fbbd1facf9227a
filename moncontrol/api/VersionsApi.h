// The versions of the monitor's control firmware and of its MCU, read by function calls. They
// take no device mutex.
#pragma once

#include <cstdint>

#include "foundation/Export.h"
#include "moncontrol/hid/HidApi.h"

// Function code 6: the version is the reply's first four data bytes, little-endian, and set
// only on success. The call's status; MC_ERR_INVALID_ARG for a null version;
// MC_ERR_BAD_REPLY when the reply brings fewer than four data bytes.
TARVIK_EXPORT std::int32_t GetMonCtrlVersion(mchid::hid_device* handle, std::int32_t* version);
// The function code and value the caller gives: the version comes back in the reply's param3.
// 0; MC_ERR_INVALID_ARG for a null handle or version; MC_ERR_NO_MEMORY; MC_ERR_MCU_VERSION
// when the exchange fails.
TARVIK_EXPORT std::int32_t GetMCUVersion(mchid::hid_device* handle, std::int32_t code, std::int32_t value,
                                         std::int32_t* version, std::int32_t timeout);
