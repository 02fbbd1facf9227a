#include "moncontrol/ddcci/DdcciExchange.h"

#include <cstring>
#include <new>

#include "foundation/log/Log.h"
#include "moncontrol/api/CommandHeaderApi.h"
#include "moncontrol/api/DeviceRegistry.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciFrame.h"
#include "moncontrol/transport/CommandHeader.h"
#include "moncontrol/transport/HidTransport.h"
#include "moncontrol/transport/Signature.h"

namespace {

// Has no effect on the transport's reads; what the DDC/CI commands pass.
constexpr std::int32_t kDdcciTimeoutMs = 1000;

}  // namespace

#if !defined(TARVIK_MACOS)
DeviceLock::DeviceLock(mchid::hid_device* device)
    : m_name(DeviceMutexName(device)), m_guard(m_name.c_str(), kDeviceMutexWaitMs) {}
#endif

DdcciExchange::DdcciExchange(std::size_t bufferSize, std::int32_t bufLen)
    : m_buffer(new (std::nothrow) std::uint8_t[bufferSize]), m_size(bufferSize), m_bufLen(bufLen) {}

std::int32_t DdcciExchange::Send(mchid::hid_device* device, std::span<const std::uint8_t> frame, bool setsValue) {
  if (kMccmdHeaderSize + frame.size() > m_size) return MC_ERR_INVALID_ARG;
  std::uint8_t* buffer = m_buffer.get();
  std::memset(buffer, 0, m_size);
  tagMCCMD_HEADER header{};
  header.dataLength = static_cast<std::uint32_t>(frame.size());
  header.cmdID = static_cast<std::uint32_t>(GetCmdID(1));
  header.cmdType = MCCMD_TYPE_DDCCI;
  header.param1 = kDisplayAddress;
  header.param2 = kHostAddress;
  header.param4 = setsValue ? 1 : 0;
  StoreMccmdHeader(header, buffer);
  if (!frame.empty()) std::memcpy(buffer + kMccmdHeaderSize, frame.data(), frame.size());
  SignCmdHeader(buffer);
  m_received = 0;
  return SendCommand(device, m_bufLen, buffer, &m_received, kDdcciTimeoutMs);
}

std::optional<std::span<const std::uint8_t>> DdcciExchange::ReplyFrame(const wchar_t* command) const {
  const std::uint32_t claimed = LoadMccmdReceiveHeader(m_buffer.get()).dataLength;
  // received never exceeds bufLen, so what arrived lies within the buffer.
  const std::int64_t arrived = std::int64_t{m_received} - static_cast<std::int64_t>(kMccmdReceiveHeaderSize);
  if (arrived < 0 || claimed > arrived) {
    LogWarn(L"%s reply claims %lu payload bytes but %lld arrived", command, claimed,
            static_cast<long long>(arrived < 0 ? 0 : arrived));
    return std::nullopt;
  }
  return std::span<const std::uint8_t>(m_buffer.get() + kMccmdReceiveHeaderSize, claimed);
}
