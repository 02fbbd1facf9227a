// Device keys, and which open handle is registered under which key. The key names the
// monitor's mutex and its listener.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/Export.h"
#include "moncontrol/hid/HidApi.h"

// The mutex of a handle that was not opened through OpenMonCtrl2: the agent's global one.
inline constexpr const wchar_t* kDefaultMutexName = L"Global\\HalvaneSDK";

// "<vendor>-<product>-<serial>", the IDs in decimal; a null serial counts as empty.
std::wstring MakeDeviceKey(std::uint32_t vendorId, std::uint32_t productId, const wchar_t* serial);

// Records the handle under the key unless it is registered already. Other handles registered
// under the key are forgotten (not closed): a monitor opened again replaces its old handle.
// The key's mutex is opened or created on its first registration.
void RegisterMonCtrlDevice(mchid::hid_device* handle, const std::wstring& key);
void UnregisterMonCtrlDevice(mchid::hid_device* handle);

// The name of the mutex that guards the handle's exchanges: its device key when registered,
// else kDefaultMutexName. A copy, which no other thread's registration can change.
std::wstring DeviceMutexName(mchid::hid_device* handle);

// As DeviceMutexName; the text belongs to the library and stays valid for the life of the
// process.
TARVIK_EXPORT const wchar_t* GetMutexName(mchid::hid_device* handle);
