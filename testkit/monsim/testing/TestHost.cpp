#include "testkit/monsim/testing/TestHost.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "moncontrol/transport/Signature.h"
#include "testkit/monsim/ddcci/DdcciFrames.h"

namespace monsim::testing {

std::vector<std::uint8_t> BuildRequest(tagMCCMD_HEADER header, const std::vector<std::uint8_t>& payload) {
  header.reportID = 0;
  header.dataLength = static_cast<std::uint32_t>(payload.size());
  std::vector<std::uint8_t> request(kMccmdHeaderSize + payload.size());
  StoreMccmdHeader(header, request.data());
  std::copy(payload.begin(), payload.end(), request.begin() + kMccmdHeaderSize);
  SignCmdHeader(request.data());
  return request;
}

std::vector<std::uint8_t> WithChecksum(std::vector<std::uint8_t> frame) {
  frame.push_back(XorOf(frame.data(), frame.size(), kDisplayAddress));
  return frame;
}

std::vector<std::uint8_t> DdcciRequest(std::uint32_t cmdID, std::vector<std::uint8_t> frame, bool setsValue) {
  tagMCCMD_HEADER header{};
  header.cmdID = cmdID;
  header.cmdType = MCCMD_TYPE_DDCCI;
  header.param1 = kDisplayAddress;
  header.param2 = kHostAddress;
  header.param4 = setsValue ? 1 : 0;
  return BuildRequest(header, WithChecksum(std::move(frame)));
}

int WriteRequest(mchid::HidConnection& connection, const std::vector<std::uint8_t>& request) {
  const std::size_t reportLength = connection.Collection().output_report_length;
  std::size_t offset = 0;
  int result = -1;
  do {
    std::vector<std::uint8_t> report(reportLength, 0);
    std::size_t skip = offset == 0 ? 0 : 1;
    std::size_t take = std::min(reportLength - skip, request.size() - offset);
    std::copy_n(request.begin() + static_cast<std::ptrdiff_t>(offset), take, report.begin() + static_cast<std::ptrdiff_t>(skip));
    result = connection.WriteReport(report.data(), report.size());
    if (result < 0) return result;
    offset += take;
  } while (offset < request.size());
  return result;
}

std::optional<std::vector<std::uint8_t>> ReadMessage(mchid::HidConnection& connection, int milliseconds,
                                                     std::uint32_t limit) {
  std::vector<std::uint8_t> message(1024);
  int n = connection.ReadReport(message.data(), message.size(), milliseconds);
  if (n < static_cast<int>(kMccmdReceiveHeaderSize)) return std::nullopt;
  std::uint32_t dataLength = LoadMccmdReceiveHeader(message.data()).dataLength;
  if (dataLength > limit) return std::nullopt;
  std::size_t total = kMccmdReceiveHeaderSize + dataLength;
  std::size_t have = static_cast<std::size_t>(n);
  message.resize(std::max(total, have));
  while (have < total) {
    n = connection.ReadReport(message.data() + have, total - have, milliseconds);
    if (n <= 0) return std::nullopt;
    have += static_cast<std::size_t>(n);
  }
  message.resize(total);
  return message;
}

int ResultOfBlockedRead(mchid::HidConnection& connection, const std::function<void()>& interrupt) {
  int result = 0;
  std::thread reader([&] {
    std::vector<std::uint8_t> buffer(64);
    result = connection.ReadReport(buffer.data(), buffer.size(), -1);
  });
  // Most likely parked in the read by then; if not, the read fails at once all the same.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  interrupt();
  reader.join();
  return result;
}

std::vector<std::uint8_t> PayloadOf(const std::vector<std::uint8_t>& message) {
  return {message.begin() + kMccmdReceiveHeaderSize, message.end()};
}

}  // namespace monsim::testing
