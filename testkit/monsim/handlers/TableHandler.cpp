#include "testkit/monsim/handlers/TableHandler.h"

#include <algorithm>

#include "testkit/monsim/ddcci/DdcciFrames.h"
#include "testkit/monsim/handlers/VendorHandler.h"

namespace monsim {
namespace {

constexpr std::size_t kVendorTableWriteFrame = 32;
constexpr std::size_t kVendorTableWriteChunk = 23;
constexpr std::size_t kTableWriteChunk = 32;

std::size_t OffsetAt(const std::vector<std::uint8_t>& frame, std::size_t index) {
  return static_cast<std::size_t>(frame[index] << 8 | frame[index + 1]);
}

// The bytes of the table from offset on, at most `limit` of them.
std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& table, std::size_t offset, std::size_t limit) {
  if (offset >= table.size()) return {};
  const auto first = table.begin() + static_cast<std::ptrdiff_t>(offset);
  return {first, first + static_cast<std::ptrdiff_t>(std::min(limit, table.size() - offset))};
}

void Place(std::vector<std::uint8_t>& table, std::size_t offset, const std::uint8_t* data, std::size_t n) {
  if (offset == 0) table.clear();
  if (table.size() < offset + n) table.resize(offset + n);
  std::copy_n(data, n, table.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::size_t ChunkSize(const VendorState& state) { return std::clamp<std::size_t>(state.tableChunk, 1, kMaxTableChunk); }

const std::vector<std::uint8_t>* VendorTable(const VendorState& monitor, std::uint8_t key, std::uint8_t child) {
  if (key == kVendorMonitorInfo) return &monitor.monitorInfo;
  if (key == kVendorChildInfo && child < monitor.childInfo.size()) return &monitor.childInfo[child];
  return nullptr;
}

}  // namespace

std::vector<std::uint8_t> AnswerVendorTableRead(const std::vector<std::uint8_t>& frame, const VendorState* monitor) {
  if (monitor == nullptr) return NullMessage();
  const std::uint8_t key = frame[3];
  const std::size_t offset = OffsetAt(frame, 6);
  std::vector<std::uint8_t> body{kOpVendor, key, frame[6], frame[7]};
  if (const std::vector<std::uint8_t>* table = VendorTable(*monitor, key, frame[4])) {
    const auto data = Slice(*table, offset, ChunkSize(*monitor));
    body.insert(body.end(), data.begin(), data.end());
  }
  return ReplyFrame(body);
}

std::optional<std::vector<std::uint8_t>> AnswerVendorTableWrite(const std::vector<std::uint8_t>& frame,
                                                                VendorState& state) {
  const std::size_t n = frame[1] & 0x7F;
  if (frame.size() != kVendorTableWriteFrame || n > kVendorTableWriteChunk) return std::nullopt;
  Place(state.vendorWrites[frame[3]], OffsetAt(frame, 6), frame.data() + 8, n);
  return ReplyFrame({kOpVendor, frame[3]});
}

std::vector<std::uint8_t> AnswerTableRead(const std::vector<std::uint8_t>& frame, const VendorState& state) {
  std::vector<std::uint8_t> data;
  if (auto table = state.tables.find(frame[3]); table != state.tables.end())
    data = Slice(table->second, OffsetAt(frame, 6), ChunkSize(state));
  std::vector<std::uint8_t> reply(data.size() + 4);
  reply[0] = kDisplayAddress;
  reply[1] = static_cast<std::uint8_t>(data.size());
  reply[2] = kOpVendor;
  std::copy(data.begin(), data.end(), reply.begin() + 3);
  reply.back() = XorOf(reply.data(), reply.size() - 1, kReplyChecksumSeed);
  return reply;
}

std::optional<std::vector<std::uint8_t>> AnswerTableWrite(const std::vector<std::uint8_t>& frame, VendorState& state) {
  if (frame.size() < 7) return std::nullopt;
  const std::size_t n = frame[1];
  if (n > kTableWriteChunk || frame.size() != n + 7) return std::nullopt;
  Place(state.tables[frame[3]], OffsetAt(frame, 4), frame.data() + 6, n);
  return std::vector<std::uint8_t>{};
}

}  // namespace monsim
