#include "moncontrol/transport/ListenerMessage.h"

#include <cstring>
#include <iterator>

#include "foundation/log/Log.h"
#include "moncontrol/transport/CommandHeader.h"

CMD_MESSAGE CmdMessageFromReport(const std::uint8_t* report, std::size_t received) {
  const tagMCCMD_RECEIVE_HEADER header = LoadMccmdReceiveHeader(report);
  const std::size_t available = received - kMccmdReceiveHeaderSize;
  std::uint32_t dataLength = header.dataLength;
  if (dataLength > available) {
    LogWarn(L"MCListenThread message claims %lu payload bytes, %lu were read", dataLength,
            static_cast<std::uint32_t>(available));
    dataLength = static_cast<std::uint32_t>(available);
  }
  return CMD_MESSAGE{header.param1, header.param2, header.param3, header.param4, dataLength,
                     const_cast<std::uint8_t*>(report + kMccmdReceiveHeaderSize)};
}

void PackCmdMessage(const CMD_MESSAGE* message, std::uint8_t* buffer, std::size_t length) {
  if (message == nullptr || buffer == nullptr) return;
  const std::uint32_t dataLength = message->dataLength;
  if (length < kCmdMessageHeaderSize + std::size_t{dataLength}) return;
  std::memset(buffer, 0, length);
  const std::uint32_t words[] = {message->funcCode, message->subCode, message->param3, message->param4, dataLength};
  for (std::size_t i = 0; i < std::size(words); ++i) WriteUInt32LE(words[i], buffer + 4 * i);
  if (message->data != nullptr && dataLength != 0)
    std::memcpy(buffer + kCmdMessageHeaderSize, message->data, dataLength);
}

std::array<std::uint8_t, kCmdMessageHeaderSize> MakeConnectMessage(bool connected) {
  const CMD_MESSAGE message{FUNC_CODE_CONNECTION, connected ? 1u : 0u, 0, 0, 0, nullptr};
  std::array<std::uint8_t, kCmdMessageHeaderSize> flat{};
  PackCmdMessage(&message, flat.data(), flat.size());
  return flat;
}
