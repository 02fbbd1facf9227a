// Exported helpers for building command headers by hand.
#pragma once

#include <cstdint>

#include "foundation/Export.h"

// The next command ID; a non-zero advance moves the counter on first.
TARVIK_EXPORT std::int32_t GetCmdID(unsigned char advance);
TARVIK_EXPORT std::int32_t GetMccmdHeaderSize();
// The signature of a function-type request with these fields and payload (null data signs
// zeros). MC_ERR_NO_MEMORY or MC_ERR_SIGN_ARGS as unsigned on failure: a signature never
// exceeds 0xFFFFFF.
TARVIK_EXPORT std::uint32_t GetSignature(std::uint32_t cmdID, std::uint32_t param1,
                                         std::uint32_t param2, std::uint32_t param3,
                                         std::uint32_t param4, std::uint32_t dataLength,
                                         const std::uint8_t* data);
