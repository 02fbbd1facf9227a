#include "moncontrol/ddcci/VcpConvenienceApi.h"

#include <algorithm>
#include <span>

#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciApi.h"

namespace {

struct ValueRange {
  std::int32_t low;
  std::int32_t high;  // inclusive
};

constexpr ValueRange kPercent[] = {{0, 100}};
constexpr ValueRange kColorPresets[] = {{1, 2}, {5, 6}, {8, 8}, {11, 19}};
constexpr ValueRange kScenarioModes[] = {{0, 1}, {3, 3}, {5, 9}};

struct Setting {
  const wchar_t* setter;
  std::uint8_t vcp;
  std::span<const ValueRange> accepts;  // empty: any value
};

constexpr Setting kBrightness{L"SetBrightness", 0x10, kPercent};
constexpr Setting kContrast{L"SetContrast", 0x12, kPercent};
constexpr Setting kColorPreset{L"SetColorPreset", 0x14, kColorPresets};
constexpr Setting kScenarioMode{L"SetScenarioMode", 0xDC, kScenarioModes};
constexpr Setting kInputSource{L"SetInputSource", 0x60, {}};
constexpr Setting kWindowSelect{L"SetWindowSelect", 0xA5, {}};
constexpr Setting kPipPbpSwap{L"SetPipPbpSwap", 0xF2, {}};
constexpr Setting kRestoreFactory{L"SetRestoreFactory", 0x04, {}};
constexpr Setting kPowerMode{L"SetPowerMode", 0xD6, {}};
constexpr std::uint8_t kFirmwareVersionVcp = 0xC9;

bool Accepts(const Setting& setting, std::int32_t value) {
  if (setting.accepts.empty()) return true;
  return std::any_of(setting.accepts.begin(), setting.accepts.end(),
                     [value](const ValueRange& range) { return value >= range.low && value <= range.high; });
}

std::int32_t Set(const Setting& setting, mchid::hid_device* handle, std::int32_t value) {
  if (handle == nullptr) {
    LogWarn(L"%s: no device", setting.setter);
    return MC_ERR_INVALID_ARG;
  }
  if (!Accepts(setting, value)) {
    LogWarn(L"%s: %d is not a value of VCP 0x%02X", setting.setter, value, static_cast<unsigned>(setting.vcp));
    return MC_ERR_INVALID_ARG;
  }
  return SetVCPFeatureL(handle, setting.vcp, static_cast<std::uint16_t>(value));
}

}  // namespace

std::int32_t GetBrightness(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum) {
  return GetVCPFeatureL(handle, kBrightness.vcp, current, maximum);
}
std::int32_t SetBrightness(mchid::hid_device* handle, std::int32_t value) { return Set(kBrightness, handle, value); }

std::int32_t GetContrast(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum) {
  return GetVCPFeatureL(handle, kContrast.vcp, current, maximum);
}
std::int32_t SetContrast(mchid::hid_device* handle, std::int32_t value) { return Set(kContrast, handle, value); }

std::int32_t GetColorPreset(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum) {
  return GetVCPFeatureL(handle, kColorPreset.vcp, current, maximum);
}
std::int32_t SetColorPreset(mchid::hid_device* handle, std::int32_t value) {
  return Set(kColorPreset, handle, value);
}

std::int32_t GetScenarioMode(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum) {
  return GetVCPFeatureL(handle, kScenarioMode.vcp, current, maximum);
}
std::int32_t SetScenarioMode(mchid::hid_device* handle, std::int32_t value) {
  return Set(kScenarioMode, handle, value);
}

std::int32_t GetInputSource(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum) {
  return GetVCPFeatureL(handle, kInputSource.vcp, current, maximum);
}
std::int32_t SetInputSource(mchid::hid_device* handle, std::int32_t value) {
  return Set(kInputSource, handle, value);
}

std::int32_t GetWindowSelect(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum) {
  return GetVCPFeatureL(handle, kWindowSelect.vcp, current, maximum);
}
std::int32_t SetWindowSelect(mchid::hid_device* handle, std::int32_t value) {
  return Set(kWindowSelect, handle, value);
}

std::int32_t GetPipPbpSwap(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum) {
  return GetVCPFeatureL(handle, kPipPbpSwap.vcp, current, maximum);
}
std::int32_t SetPipPbpSwap(mchid::hid_device* handle, std::int32_t value) { return Set(kPipPbpSwap, handle, value); }

std::int32_t GetRestoreFactory(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum) {
  return GetVCPFeatureL(handle, kRestoreFactory.vcp, current, maximum);
}
std::int32_t SetRestoreFactory(mchid::hid_device* handle, std::int32_t value) {
  return Set(kRestoreFactory, handle, value);
}

std::int32_t GetFirmwareVersion(mchid::hid_device* handle, std::int32_t* current, std::int32_t* maximum) {
  return GetVCPFeatureL(handle, kFirmwareVersionVcp, current, maximum);
}

std::int32_t SetPowerMode(mchid::hid_device* handle, std::int32_t value) { return Set(kPowerMode, handle, value); }
