// The host side of the command channel for tests of the simulator: signed requests built
// and written the way the library does, replies read back the way its transport does.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "moncontrol/hid/HidBackend.h"
#include "moncontrol/transport/CommandHeader.h"

namespace monsim::testing {

// A complete signed request: header (report ID 0) and payload.
std::vector<std::uint8_t> BuildRequest(tagMCCMD_HEADER header, const std::vector<std::uint8_t>& payload);
// A DDC/CI request carrying `frame` (source byte first) with its checksum appended.
std::vector<std::uint8_t> DdcciRequest(std::uint32_t cmdID, std::vector<std::uint8_t> frame, bool setsValue = false);
// The frame with its request checksum appended.
std::vector<std::uint8_t> WithChecksum(std::vector<std::uint8_t> frame);

// In output reports of the collection's length: the first starts with the request, each
// later one with report ID 0 and the next bytes. The last write's result, or the first
// failing one.
int WriteRequest(mchid::HidConnection& connection, const std::vector<std::uint8_t>& request);
// One reply or message (32-byte header and its payload), or none when a read times out,
// fails or the header claims more than `limit` payload bytes.
std::optional<std::vector<std::uint8_t>> ReadMessage(mchid::HidConnection& connection, int milliseconds = 200,
                                                     std::uint32_t limit = 4096);
// The result of a read without limit that `interrupt` (run on this thread) ends.
int ResultOfBlockedRead(mchid::HidConnection& connection, const std::function<void()>& interrupt);
// The DDC/CI frame of a reply: its payload.
std::vector<std::uint8_t> PayloadOf(const std::vector<std::uint8_t>& message);

}  // namespace monsim::testing
