// Transfers the monitor performs on its internal I2C bus. They take no device mutex: callers
// that share the monitor with other processes serialise themselves.
#pragma once

#include <cstdint>

#include "foundation/Export.h"
#include "moncontrol/hid/HidApi.h"

// Reads count bytes from the slave's registers at offset. The bytes delivered into buffer,
// min(the reply's data, capacity); MC_ERR_NO_MEMORY; MC_ERR_INVALID_ARG for a null buffer
// with room; MC_ERR_READ_FAILED for any failure of the exchange.
TARVIK_EXPORT std::int32_t ReadIIC(mchid::hid_device* handle, std::int32_t slave, std::uint16_t offset,
                                   std::int32_t count, std::uint32_t capacity, void* buffer);
// Writes length bytes of data to the slave's registers at offset; argument travels in
// param3. The transport's result; MC_ERR_NO_MEMORY; MC_ERR_INVALID_ARG for null data with a
// length or a request too long to send.
TARVIK_EXPORT std::int32_t WriteIIC(mchid::hid_device* handle, std::int32_t slave, std::uint16_t offset,
                                    std::int32_t argument, std::uint32_t length, const void* data);
