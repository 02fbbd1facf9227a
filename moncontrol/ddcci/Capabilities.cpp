#include <array>
#include <cstring>

#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/DdcciExchange.h"
#include "moncontrol/ddcci/DdcciFrame.h"

namespace {

constexpr std::size_t kBufferSize = 2048;
constexpr int kFailuresAllowed = 20;
// The length byte of a fragment without data: the end of the string.
constexpr std::uint8_t kLastFragment = 0x83;
// 6E len E3 offsetHigh offsetLow, then the fragment's data.
constexpr std::size_t kFragmentDataOffset = 5;

enum class Fragment { Data, Last, Unusable, TooLong };

// Appends a fragment's data to the string gathered so far.
Fragment TakeFragment(std::span<const std::uint8_t> reply, std::array<char, kCapabilitiesMaxLength>& text,
                      std::size_t& length) {
  if (reply.size() >= 2 && reply[1] == kLastFragment) return Fragment::Last;
  if (reply.size() < 3 || reply[2] != kOpCapabilitiesReply) {
    LogWarn(L"GetCapabilities fragment at offset %lu is not a capabilities reply", static_cast<std::uint32_t>(length));
    return Fragment::Unusable;
  }
  // Length bytes below 0x83 would give no data, not a wrapped count.
  const int data = (reply[1] & 0x7F) - 3;
  if (data <= 0 || kFragmentDataOffset + static_cast<std::size_t>(data) > reply.size()) {
    LogWarn(L"GetCapabilities fragment at offset %lu has length byte 0x%02X for a reply of %lu bytes",
            static_cast<std::uint32_t>(length), static_cast<unsigned>(reply[1]),
            static_cast<std::uint32_t>(reply.size()));
    return Fragment::Unusable;
  }
  const auto n = static_cast<std::size_t>(data);
  if (length + n > text.size()) {
    LogError(L"GetCapabilities string is longer than %lu bytes", static_cast<std::uint32_t>(text.size()));
    return Fragment::TooLong;
  }
  std::memcpy(text.data() + length, reply.data() + kFragmentDataOffset, n);
  length += n;
  return Fragment::Data;
}

}  // namespace

std::int32_t GetCapabilities(mchid::hid_device* handle, std::uint32_t* length, char* out) {
  if (length == nullptr || out == nullptr) return MC_ERR_INVALID_ARG;
  *length = 0;
  DeviceLock lock(handle);
  if (!lock.IsLocked()) return MC_ERR_MUTEX;
  DdcciExchange exchange(kBufferSize, static_cast<std::int32_t>(kBufferSize));
  if (!exchange.IsAllocated()) return MC_ERR_NO_MEMORY;

  std::array<char, kCapabilitiesMaxLength> text;
  std::size_t gathered = 0;
  for (int failuresLeft = kFailuresAllowed; failuresLeft > 0;) {
    auto request = CapabilitiesFrame(static_cast<std::uint16_t>(gathered));
    std::optional<std::span<const std::uint8_t>> reply;
    if (exchange.Send(handle, request, false) == 0) reply = exchange.ReplyFrame(L"GetCapabilities");
    Fragment fragment = reply && !reply->empty() ? TakeFragment(*reply, text, gathered) : Fragment::Unusable;
    if (fragment == Fragment::Last) {
      std::memset(out, 0, gathered);
      std::memcpy(out, text.data(), gathered);
      *length = static_cast<std::uint32_t>(gathered);
      return static_cast<std::int32_t>(gathered);
    }
    if (fragment == Fragment::TooLong) break;
    if (fragment == Fragment::Unusable) --failuresLeft;
  }
  LogError(L"GetCapabilities could not read the string past offset %lu", static_cast<std::uint32_t>(gathered));
  return 0;
}
