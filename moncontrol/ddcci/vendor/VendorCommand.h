// One vendor command through CallDdcciCmd, for the commands that read its reply themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "moncontrol/hid/HidApi.h"

// The size of the buffers that the vendor commands and table reads hand out.
inline constexpr std::size_t kVendorResultSize = 1024;

struct FreeDeleter {
  void operator()(std::uint8_t* buffer) const { std::free(buffer); }
};
// A buffer the library hands out, until it does.
using MallocBuffer = std::unique_ptr<std::uint8_t[], FreeDeleter>;

MallocBuffer AllocateZeroed(std::size_t size);

class VendorReply {
 public:
  VendorReply(mchid::hid_device* handle, std::uint8_t subCommand, std::span<const std::uint8_t> payload);

  std::uint32_t Size() const { return m_size; }
  bool Empty() const { return m_size == 0; }
  // Data byte i; 0 beyond the data, as in the buffer.
  std::uint8_t Byte(std::size_t i) const { return m_buffer && i < kVendorResultSize ? m_buffer[i] : 0; }

 private:
  MallocBuffer m_buffer;
  std::uint32_t m_size = 0;
};
