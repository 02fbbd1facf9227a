#include "moncontrol/transport/ListenerRecord.h"

#include <cwchar>
#include <exception>
#include <new>

#include "foundation/log/Log.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/transport/ListenerThread.h"

namespace {

wchar_t* CopySerial(const wchar_t* serial) {
  if (serial == nullptr) return nullptr;
  const std::size_t length = std::wcslen(serial);
  auto* copy = new wchar_t[length + 1];
  std::wmemcpy(copy, serial, length + 1);
  return copy;
}

void DestroyRecord(ListenerRecord* record) {
  CloseMonCtrl(record->hidDevice);
  delete[] record->serialNumber;
  delete record;
}

// True when the thread is inside its callback.
bool ClearRunFlag(ListenerRecord& record) {
  std::lock_guard lock(record.mutex);
  record.bListen = 0;
  return record.inCallback;
}

}  // namespace

ListenerRecord* NewMonCtrlListen(mchid::hid_device* device, int vid, int pid, const wchar_t* serial,
                                 int interfaceNumber) {
  auto* record = new (std::nothrow) ListenerRecord();
  if (record == nullptr) {
    LogError(L"NewMonCtrlListen cannot allocate the listener");
    CloseMonCtrl(device);
    return nullptr;
  }
  record->vid = vid;
  record->pid = pid;
  record->interfaceNumber = interfaceNumber;
  record->hidDevice = device;
  record->callback = nullptr;
  // Set before the thread runs, so that a stop that comes first is not undone.
  record->bListen = 1;
  try {
    record->serialNumber = CopySerial(serial);
    record->thread = std::thread(MCListenThread, record);
  } catch (const std::exception& e) {  // std::bad_alloc, std::system_error
    LogError(L"NewMonCtrlListen cannot start the listener thread: %hs", e.what());
    DestroyRecord(record);
    return nullptr;
  }
  return record;
}

void AskToStop(ListenerRecord& record) { ClearRunFlag(record); }

void StopListenerThread(ListenerRecord& record) {
  const bool inCallback = ClearRunFlag(record);
  if (!record.thread.joinable()) return;
  if (inCallback)
    record.thread.detach();
  else
    record.thread.join();
}

void ReleaseListener(ListenerRecord* record) {
  StopListenerThread(*record);
  {
    std::lock_guard lock(record->mutex);
    if (!record->finished) {
      record->orphaned = true;
      return;
    }
  }
  DestroyRecord(record);
}

#if defined(TARVIK_MACOS)
void LetGoListener(ListenerRecord* record) {
  {
    std::lock_guard lock(record->mutex);
    record->bListen = 0;
    if (!record->finished) {
      record->orphaned = true;
      if (record->thread.joinable()) record->thread.detach();
      return;
    }
  }
  if (record->thread.joinable()) record->thread.join();
  DestroyRecord(record);
}
#endif

void DeliverToCallback(ListenerRecord& record, mchid::hid_device* device, std::uint8_t* message,
                       std::size_t length) {
  const FuncCallback callback = record.callback.load();
  if (callback == nullptr) return;
  {
    std::lock_guard lock(record.mutex);
    if (record.bListen == 0) return;
    record.inCallback = true;
  }
  callback(device, record.serialNumber, message, length);
  std::lock_guard lock(record.mutex);
  record.inCallback = false;
}

void FinishListenerThread(ListenerRecord* record) {
  bool orphaned = false;
  {
    std::lock_guard lock(record->mutex);
    record->finished = true;
    orphaned = record->orphaned;
  }
  if (orphaned) DestroyRecord(record);
}
