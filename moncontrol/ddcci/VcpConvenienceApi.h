// One getter and one setter per common monitor setting, its VCP code built in. Getters are
// GetVCPFeatureL with that code (a null handle is its to answer). Setters send the value's low
// 16 bits through SetVCPFeatureL and return its result, or MC_ERR_INVALID_ARG, with nothing
// sent, for a null handle or a value the setting does not take.
#pragma once

#include <cstdint>

#include "foundation/Export.h"
#include "moncontrol/hid/HidApi.h"

// VCP 0x10; the setter takes 0 to 100.
TARVIK_EXPORT std::int32_t GetBrightness(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum);
TARVIK_EXPORT std::int32_t SetBrightness(mchid::hid_device* handle, std::int32_t value);
// VCP 0x12; the setter takes 0 to 100.
TARVIK_EXPORT std::int32_t GetContrast(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum);
TARVIK_EXPORT std::int32_t SetContrast(mchid::hid_device* handle, std::int32_t value);
// VCP 0x14; the setter takes 1, 2, 5, 6, 8 and 11 to 19.
TARVIK_EXPORT std::int32_t GetColorPreset(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum);
TARVIK_EXPORT std::int32_t SetColorPreset(mchid::hid_device* handle, std::int32_t value);
// VCP 0xDC; the setter takes 0, 1, 3 and 5 to 9.
TARVIK_EXPORT std::int32_t GetScenarioMode(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum);
TARVIK_EXPORT std::int32_t SetScenarioMode(mchid::hid_device* handle, std::int32_t value);
// VCP 0x60.
TARVIK_EXPORT std::int32_t GetInputSource(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum);
TARVIK_EXPORT std::int32_t SetInputSource(mchid::hid_device* handle, std::int32_t value);
// VCP 0xA5.
TARVIK_EXPORT std::int32_t GetWindowSelect(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum);
TARVIK_EXPORT std::int32_t SetWindowSelect(mchid::hid_device* handle, std::int32_t value);
// VCP 0xF2.
TARVIK_EXPORT std::int32_t GetPipPbpSwap(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum);
TARVIK_EXPORT std::int32_t SetPipPbpSwap(mchid::hid_device* handle, std::int32_t value);
// VCP 0x04.
TARVIK_EXPORT std::int32_t GetRestoreFactory(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum);
TARVIK_EXPORT std::int32_t SetRestoreFactory(mchid::hid_device* handle, std::int32_t value);
// VCP 0xC9.
TARVIK_EXPORT std::int32_t GetFirmwareVersion(mchid::hid_device* handle, std::int32_t* current,
                                              std::int32_t* maximum);
// VCP 0xD6.
TARVIK_EXPORT std::int32_t SetPowerMode(mchid::hid_device* handle, std::int32_t value);
