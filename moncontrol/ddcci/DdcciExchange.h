// What every DDC/CI command shares: the device's named mutex, held for the whole command, and
// one request/reply exchange of a DDC/CI frame in a buffer of the command's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "moncontrol/hid/HidApi.h"
#if !defined(TARVIK_MACOS)
#include "foundation/sync/MutexGuard.h"
#endif

inline constexpr std::uint32_t kDeviceMutexWaitMs = 2000;

#if defined(TARVIK_MACOS)
// The macOS build keeps no device mutexes: the lock is always had.
class DeviceLock {
 public:
  explicit DeviceLock(mchid::hid_device*) {}
  bool IsLocked() const { return true; }
};
#else
// Holds the named mutex of a device handle for its scope (its device key's, or
// kDefaultMutexName for a handle that is not registered), waiting up to kDeviceMutexWaitMs.
class DeviceLock {
 public:
  explicit DeviceLock(mchid::hid_device* device);
  bool IsLocked() const { return m_guard.IsLocked(); }

 private:
  const std::wstring m_name;  // before the guard, which borrows it
  MutexGuard m_guard;
};
#endif

class DdcciExchange {
 public:
  // bufLen of the bufferSize bytes go to the transport.
  DdcciExchange(std::size_t bufferSize, std::int32_t bufLen);
  bool IsAllocated() const { return m_buffer != nullptr; }

  // Sends the frame (source byte first, checksum last) in a signed request with a fresh
  // command ID; setsValue marks the commands that set a value. 0 or the transport's code.
  std::int32_t Send(mchid::hid_device* device, std::span<const std::uint8_t> frame, bool setsValue);

  // After a successful Send: the reply's DDC/CI frame, every payload byte that its header
  // claims. None, logged with the command's name, when fewer of them arrived.
  std::optional<std::span<const std::uint8_t>> ReplyFrame(const wchar_t* command) const;

 private:
  std::unique_ptr<std::uint8_t[]> m_buffer;
  std::size_t m_size;
  std::int32_t m_bufLen;
  std::int32_t m_received = 0;
};
