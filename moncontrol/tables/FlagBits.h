// A feature's bit field in the monitor's model-flag bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "moncontrol/tables/AppEnableKeys.h"

// Shift a byte array by one bit as one big-endian bit string; the bit shifted in is 0.
void ShiftBitsLeft(std::uint8_t* bytes, std::size_t count);
void ShiftBitsRight(std::uint8_t* bytes, std::size_t count);

// The field's value; 0 when the flag bytes do not reach it or it is no field of up to 31 bits.
int GetAppEnableKeyValue(const _AppEnableKeyValue& feature, const std::vector<std::uint8_t>& flags);
// Sets every feature's value from the flag bytes.
void UpdateAppEnableKeyValues(std::vector<_AppEnableKeyValue>& features, const std::vector<std::uint8_t>& flags);
