// Listeners for a monitor's unsolicited messages: one thread per device key reads its own
// handle to the monitor and hands every message, in flat form, to the host's callback. A lost
// device is reopened and the outcome reported as a connection message.
//
// Lifetimes a host relies on: the callback runs on the listener's thread and may read the
// message and the serial only during the call. Stopping never waits for a callback that is
// running (the stopper may hold a lock the callback wants); such a listener ends by itself
// when its callback returns, and its record and handle go with it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "foundation/Export.h"
#include "moncontrol/hid/HidApi.h"

// funcCode values of a message.
inline constexpr std::uint32_t FUNC_CODE_VCP_CHANGED = 38;  // subCode: VCP code, param3/param4: values
inline constexpr std::uint32_t FUNC_CODE_CONNECTION = 40;   // made by the library: subCode 1 reopened, 0 not

// A message as the monitor sent it. The flat form handed to callbacks: the five words
// little-endian (kCmdMessageHeaderSize bytes), then dataLength payload bytes.
#pragma pack(push, 1)
struct CMD_MESSAGE {
  std::uint32_t funcCode;
  std::uint32_t subCode;
  std::uint32_t param3;
  std::uint32_t param4;
  std::uint32_t dataLength;
  std::uint8_t* data;
};
#pragma pack(pop)

inline constexpr std::size_t kCmdMessageHeaderSize = 20;
inline constexpr std::size_t kListenReadBufferSize = 1024;

// device: the listener's own handle (null while the monitor is away); serial: the listener's
// copy; message: the flat form, length bytes.
using FuncCallback = void (*)(mchid::hid_device* device, wchar_t* serial, void* message, std::size_t length);

// One listener. The thread that reads for it belongs to the library; the host only reads these.
struct tagMONCTRL_LISTEN {
  std::int32_t vid;
  std::int32_t pid;
  wchar_t* serialNumber;  // owned copy; null when the listener was made without one
  std::int32_t interfaceNumber;  // -1: any
  mchid::hid_device* hidDevice;  // replaced when the device is reopened
  std::atomic<FuncCallback> callback;
  std::atomic<std::int32_t> bListen;  // 1 while the listener should go on reading
  std::int32_t readLen;
  std::uint8_t readBuf[kListenReadBufferSize];
};

// 0 when the key's listener exists or was made; -1 when the device cannot be opened;
// MC_ERR_NO_MEMORY when its thread cannot be started (nothing is kept then).
TARVIK_EXPORT std::int32_t CreateMcListenThreadByVPSI(int vid, int pid, const wchar_t* serial, int interfaceNumber);
// Makes the listener when there is none (any interface), then stores fn in it; a null fn
// removes the listener. 0, or -1 when no listener could be made.
TARVIK_EXPORT std::int32_t SetFuncCallback(int vid, int pid, const wchar_t* serial, FuncCallback fn);
TARVIK_EXPORT tagMONCTRL_LISTEN* GetMCListenThread(const wchar_t* key);
// Ends the listener's thread; the record and its handle stay until it is removed. 0, or
// MC_ERR_INVALID_ARG when the key has no listener. On macOS it does not wait: the thread ends
// after its current read and closes its handle.
TARVIK_EXPORT std::int32_t StopMonCtrlListener(const wchar_t* key);
// Stops the listener and releases its record and handle. 0, also when there is none.
TARVIK_EXPORT std::int32_t RemoveMCListenThread(const wchar_t* key);
// Stops and releases every listener; on macOS without waiting, each thread freeing its own.
TARVIK_EXPORT void StopAllMonCtrlListener();
