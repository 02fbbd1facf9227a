// Device messages between the report a listener read and the flat form its callback gets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "moncontrol/transport/ListenerApi.h"

// The message in a report of `received` bytes, a header at least (payload at 32). Its
// dataLength is bounded by the payload bytes that were read; data points into the report.
CMD_MESSAGE CmdMessageFromReport(const std::uint8_t* report, std::size_t received);

// Writes the flat form into buffer; does nothing unless both are given and length holds it.
// Bytes beyond the message are zeroed.
void PackCmdMessage(const CMD_MESSAGE* message, std::uint8_t* buffer, std::size_t length);

// The library's own connection message: reopened, or not.
std::array<std::uint8_t, kCmdMessageHeaderSize> MakeConnectMessage(bool connected);
