#include "moncontrol/transport/CommandHeader.h"

#include <cstring>

#include "foundation/log/Log.h"
#include "moncontrol/api/CommandHeaderApi.h"
#include "moncontrol/transport/ByteOrder.h"

namespace {

// Both headers are, behind the report ID, eight 32-bit fields in a row.
constexpr std::size_t kFieldCount = 8;
static_assert(sizeof(tagMCCMD_RECEIVE_HEADER) == kFieldCount * 4);
static_assert(sizeof(tagMCCMD_HEADER) == 1 + kFieldCount * 4);

void LoadFields(const std::uint8_t* wire, void* fields) {
  std::uint32_t values[kFieldCount];
  for (std::size_t i = 0; i < kFieldCount; ++i) values[i] = LoadUInt32LE(wire + 4 * i);
  std::memcpy(fields, values, sizeof(values));
}

void StoreFields(const void* fields, std::uint8_t* wire) {
  std::uint32_t values[kFieldCount];
  std::memcpy(values, fields, sizeof(values));
  for (std::size_t i = 0; i < kFieldCount; ++i) WriteUInt32LE(values[i], wire + 4 * i);
}

}  // namespace

tagMCCMD_HEADER LoadMccmdHeader(const std::uint8_t* bytes) {
  tagMCCMD_HEADER header{};
  header.reportID = bytes[0];
  LoadFields(bytes + 1, reinterpret_cast<std::uint8_t*>(&header) + 1);
  return header;
}

void StoreMccmdHeader(const tagMCCMD_HEADER& header, std::uint8_t* bytes) {
  bytes[0] = header.reportID;
  StoreFields(reinterpret_cast<const std::uint8_t*>(&header) + 1, bytes + 1);
}

tagMCCMD_RECEIVE_HEADER LoadMccmdReceiveHeader(const std::uint8_t* bytes) {
  tagMCCMD_RECEIVE_HEADER header{};
  LoadFields(bytes, &header);
  return header;
}

void StoreMccmdReceiveHeader(const tagMCCMD_RECEIVE_HEADER& header, std::uint8_t* bytes) {
  StoreFields(&header, bytes);
}

std::int32_t GetMccmdHeaderSize() { return static_cast<std::int32_t>(kMccmdHeaderSize); }
