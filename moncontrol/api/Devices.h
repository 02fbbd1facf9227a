// Finding, opening and closing the monitors' control interfaces.
#pragma once

#include <cstdint>

#include "foundation/Export.h"
#include "moncontrol/api/MonCtrlInfo.h"
#include "moncontrol/hid/HidApi.h"

// Collections of the maker's vendor and product; with all 0 only monitor-control interfaces.
TARVIK_EXPORT std::int32_t GetMonCtrlCount(std::int32_t all);
// Frees the array *list points to, then lists the collections GetMonCtrlCount counts into a
// new one (malloc) stored in *list. The number of records; 0 with *list null when there are
// none; MC_ERR_NO_MEMORY; MC_ERR_INVALID_ARG for a null list.
TARVIK_EXPORT std::int32_t GetMonCtrlList(tagMONCTRLINFO** list, std::int32_t all);

// The first listed monitor-control interface with this product string and, unless serial is
// null or empty, this serial number. Not registered: it locks with kDefaultMutexName.
TARVIK_EXPORT mchid::hid_device* OpenMonCtrl(const wchar_t* product, const wchar_t* serial);
// Opens through the HID layer (interfaceNumber -1 for any) and registers the handle under
// its device key, creating the key's mutex on first use.
TARVIK_EXPORT mchid::hid_device* OpenMonCtrl2(std::uint32_t vendorId, std::uint32_t productId,
                                              const wchar_t* serial, std::int32_t interfaceNumber);
// Forgets the handle's registration and closes it; the device's mutex stays. Null does nothing.
TARVIK_EXPORT void CloseMonCtrl(mchid::hid_device* handle);
