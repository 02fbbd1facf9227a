#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "foundation/log/Log.h"
#include "moncontrol/api/DeviceRegistry.h"
#include "moncontrol/api/LibraryState.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/ListenerApi.h"
#include "moncontrol/transport/ListenerRecord.h"

namespace {

// Serialises the stops, so that a record StopMonCtrlListener found is not freed under it by
// a removal. Never held by a listener thread outside its callback, so waiting for a thread
// under it cannot deadlock; the library lock, which the threads take, is never held there.
std::mutex g_stopping;

std::wstring KeyOf(int vid, int pid, const wchar_t* serial) {
  return MakeDeviceKey(static_cast<std::uint32_t>(vid), static_cast<std::uint32_t>(pid), serial);
}

ListenerRecord* Find(const std::wstring& key) {
  return WithLibraryState([&](LibraryState& state) -> ListenerRecord* {
    auto it = state.listeners.find(key);
    return it != state.listeners.end() ? static_cast<ListenerRecord*>(it->second) : nullptr;
  });
}

bool Exists(const std::wstring& key) { return Find(key) != nullptr; }

}  // namespace

std::int32_t CreateMcListenThreadByVPSI(int vid, int pid, const wchar_t* serial, int interfaceNumber) {
  SetListenerStopHook(&StopAllMonCtrlListener);
  const std::wstring key = KeyOf(vid, pid, serial);
  if (Exists(key)) return 0;

  mchid::hid_device* device = mchid::hid_open(static_cast<std::uint16_t>(vid), static_cast<std::uint16_t>(pid),
                                              serial, interfaceNumber);
  if (device == nullptr) {
    LogWarn(L"CreateMcListenThreadByVPSI unable to open device %x,%x,%s,%d", static_cast<unsigned>(vid),
            static_cast<unsigned>(pid), serial != nullptr ? serial : L"", interfaceNumber);
    return -1;
  }
  ListenerRecord* record = NewMonCtrlListen(device, vid, pid, serial, interfaceNumber);
  if (record == nullptr) return MC_ERR_NO_MEMORY;
  const bool entered =
      WithLibraryState([&](LibraryState& state) { return state.listeners.emplace(key, record).second; });
  // Another caller made the key's listener meanwhile.
  if (!entered) ReleaseListener(record);
  return 0;
}

std::int32_t SetFuncCallback(int vid, int pid, const wchar_t* serial, FuncCallback fn) {
  const std::wstring key = KeyOf(vid, pid, serial);
  if (!Exists(key) && CreateMcListenThreadByVPSI(vid, pid, serial, -1) != 0) return -1;
  // Under the lock: a removal takes the record out of the map before it frees it.
  const bool stored = WithLibraryState([&](LibraryState& state) {
    auto it = state.listeners.find(key);
    if (it == state.listeners.end()) return false;
    it->second->callback = fn;
    return true;
  });
  if (!stored) return -1;
  if (fn == nullptr) RemoveMCListenThread(key.c_str());
  return 0;
}

tagMONCTRL_LISTEN* GetMCListenThread(const wchar_t* key) { return key != nullptr ? Find(key) : nullptr; }

std::int32_t StopMonCtrlListener(const wchar_t* key) {
  if (key == nullptr) return MC_ERR_INVALID_ARG;
  std::lock_guard stopping(g_stopping);
  ListenerRecord* record = Find(key);
  if (record == nullptr) return MC_ERR_INVALID_ARG;
#if defined(TARVIK_MACOS)
  AskToStop(*record);  // the thread ends by itself after its current read
#else
  StopListenerThread(*record);
#endif
  return 0;
}

std::int32_t RemoveMCListenThread(const wchar_t* key) {
  if (key == nullptr) return 0;
  std::lock_guard stopping(g_stopping);
  ListenerRecord* record = WithLibraryState([&](LibraryState& state) -> ListenerRecord* {
    auto node = state.listeners.extract(key);
    return node ? static_cast<ListenerRecord*>(node.mapped()) : nullptr;
  });
  if (record != nullptr) ReleaseListener(record);
  return 0;
}

void StopAllMonCtrlListener() {
  std::lock_guard stopping(g_stopping);
  std::map<std::wstring, tagMONCTRL_LISTEN*> listeners =
      WithLibraryState([](LibraryState& state) { return std::exchange(state.listeners, {}); });
#if defined(TARVIK_MACOS)
  for (auto& [key, listener] : listeners) LetGoListener(static_cast<ListenerRecord*>(listener));
#else
  // All asked first, so that they wind down together.
  for (auto& [key, listener] : listeners) AskToStop(*static_cast<ListenerRecord*>(listener));
  for (auto& [key, listener] : listeners) ReleaseListener(static_cast<ListenerRecord*>(listener));
#endif
}
