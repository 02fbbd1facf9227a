// Function calls: a function code, three values that travel both ways (param2 to param4) and
// data both ways. They take no device mutex: callers that share the monitor with other
// processes serialise themselves. A null in/out integer reads as 0 and receives nothing.
// status receives 0, MC_ERR_NULL_DEVICE, MC_ERR_NO_MEMORY, MC_ERR_INVALID_ARG (a request
// too long to send) or the transport's code.
#pragma once

#include <cstdint>

#include "foundation/Export.h"
#include "moncontrol/hid/HidApi.h"

// Room every CallFunction exchange has for the reply's data.
inline constexpr std::uint32_t kFunctionReplyRoom = 51200;

// One request with sendLength bytes of sendData (zeros when it is null). On success the
// reply's param2 to param4 and data length come back through the pointers, and its data in
// a new buffer that the caller frees with free (null when the reply has none). Null on
// failure, with the caller's integers unchanged.
TARVIK_EXPORT std::uint8_t* CallFunction(mchid::hid_device* handle, std::int32_t functionCode, std::int32_t* param2,
                                         std::int32_t* param3, std::int32_t* param4, std::uint32_t sendLength,
                                         std::int32_t* replyLength, const void* sendData, std::int32_t* status,
                                         std::int32_t timeout);

// As CallFunction, the data cut into chunks that each fill at most one output report; every
// chunk's param4 holds the total in its low 16 bits and the chunk's offset in its high ones
// (0xFFFF for the last chunk). A failed chunk starts the transfer again; the third failure
// ends it. Returns the last chunk's reply data. MC_ERR_INVALID_ARG when the device's output
// reports leave no room for data or the total does not fit 16 bits.
TARVIK_EXPORT std::uint8_t* CallFunctionBySplit(mchid::hid_device* handle, std::int32_t functionCode,
                                                std::int32_t* param2, std::int32_t* param3, std::int32_t* param4,
                                                std::uint32_t sendLength, std::int32_t* replyLength,
                                                const void* sendData, std::int32_t* status, std::int32_t timeout);

// Writes the request, header and payload only, and waits for no reply. replyLength is not
// used.
TARVIK_EXPORT void CallFunctionNoReply(mchid::hid_device* handle, std::int32_t functionCode, std::int32_t* param2,
                                       std::int32_t* param3, std::int32_t* param4, std::uint32_t sendLength,
                                       std::int32_t* replyLength, const void* sendData, std::int32_t* status,
                                       std::int32_t timeout);
