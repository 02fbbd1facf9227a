#include "testkit/monsim/handlers/IicHandler.h"

#include <algorithm>
#include <cstdint>

namespace monsim {
namespace {

constexpr std::uint32_t kRead = 0;
constexpr std::uint32_t kWrite = 1;

}  // namespace

Reply AnswerIicRequest(const Request& request, IicRegisters& registers) {
  const tagMCCMD_HEADER& header = request.header;
  const std::uint32_t address = header.param1;  // out of the packed header before binding
  auto slave = registers.find(address);
  if (slave == registers.end() || header.param2 > 0xFFFF) return RefusedReply(request, kStatusRejected);
  std::vector<std::uint8_t>& bytes = slave->second;
  const std::uint64_t offset = header.param2;
  if (header.param4 == kRead && request.payload.empty()) {
    const std::uint64_t count = header.param3;
    if (offset + count > bytes.size()) return RefusedReply(request, kStatusRejected);
    return AcceptedReply(request, {bytes.begin() + offset, bytes.begin() + offset + count});
  }
  if (header.param4 == kWrite) {
    if (offset + request.payload.size() > bytes.size()) return RefusedReply(request, kStatusRejected);
    std::copy(request.payload.begin(), request.payload.end(), bytes.begin() + offset);
    return AcceptedReply(request, {});
  }
  return RefusedReply(request, kStatusRejected);
}

}  // namespace monsim
