#include "moncontrol/api/DeviceRegistry.h"

#include <iterator>

#include "moncontrol/api/LibraryState.h"
#if !defined(TARVIK_MACOS)
#include "moncontrol/api/DeviceMutex.h"
#endif

namespace {

void RemoveStaleDeviceHandles(LibraryState& state, const std::wstring& key) {
  for (auto it = state.handles.begin(); it != state.handles.end();)
    it = it->second == key ? state.handles.erase(it) : std::next(it);
}

}  // namespace

std::wstring MakeDeviceKey(std::uint32_t vendorId, std::uint32_t productId, const wchar_t* serial) {
  return std::to_wstring(vendorId) + L"-" + std::to_wstring(productId) + L"-" +
         (serial != nullptr ? serial : L"");
}

void RegisterMonCtrlDevice(mchid::hid_device* handle, const std::wstring& key) {
  WithLibraryState([&](LibraryState& state) {
    if (state.handles.count(handle) != 0) return;
    RemoveStaleDeviceHandles(state, key);
    state.handles.emplace(handle, key);
#if !defined(TARVIK_MACOS)
    // Created under the lock, so that two threads registering one key make one mutex. No
    // wait is involved.
    if (state.mutexes.count(key) == 0) state.mutexes.emplace(key, CreateDeviceMutex(key.c_str()));
#endif
  });
}

void UnregisterMonCtrlDevice(mchid::hid_device* handle) {
  WithLibraryState([&](LibraryState& state) { state.handles.erase(handle); });
}

std::wstring DeviceMutexName(mchid::hid_device* handle) {
  return WithLibraryState([&](LibraryState& state) {
    auto it = state.handles.find(handle);
    return it != state.handles.end() ? it->second : std::wstring(kDefaultMutexName);
  });
}

const wchar_t* GetMutexName(mchid::hid_device* handle) {
  return WithLibraryState([&](LibraryState& state) {
    auto it = state.handles.find(handle);
    if (it == state.handles.end()) return kDefaultMutexName;
    return state.mutexNames.insert(it->second).first->c_str();
  });
}
