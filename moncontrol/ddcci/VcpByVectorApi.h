// The VCP get and set that the agents use for all their VCP work, a setting given as the
// integers [code, value] or, for an extended one, [0xF8, sub-feature code, value]. An
// extended setting pauses 200 ms between its select (VCP 0xF8) and its value (VCP 0xF7).
#pragma once

#include <cstdint>

#include "foundation/Export.h"
#include "moncontrol/hid/HidApi.h"

// The integers GetVCPFeatureByVector hands out.
inline constexpr int kVcpVectorLength = 6;

// vec: [code, value] with the code as a byte; [0xF8, sub-feature code, value] for an
// extended setting, whose value is not sent when the select fails. 1 when the setting was
// written, 0 when not (also for a null vec). The third argument is not read.
TARVIK_EXPORT std::int32_t SetVCPFeatureByVector(mchid::hid_device* handle, const std::int32_t* vec,
                                                 std::int32_t reserved);

// [code, current, maximum, 0, 0, 0], or for code 0xF8 [0xF8, subCode, current, maximum, 0, 0]
// read through VCP 0xF7 (all six 0 when the select fails). A failed read shows as current and
// maximum 0. The integers belong to the calling thread and hold until its next call.
TARVIK_EXPORT const std::int32_t* GetVCPFeatureByVector(mchid::hid_device* handle, std::int32_t vcpCode,
                                                        std::uint16_t subCode);

#if defined(TARVIK_MACOS)
// GetVCPFeatureByVector into the caller's values (count at least kVcpVectorLength, else
// nothing is done): only the entries it names are written. A failed select leaves them all.
TARVIK_EXPORT void GetVCPFeatureByVector2(mchid::hid_device* handle, std::int32_t vcpCode, std::uint32_t subCode,
                                          std::int32_t* values, std::int32_t count);
#endif
