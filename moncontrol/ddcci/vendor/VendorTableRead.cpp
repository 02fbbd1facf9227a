// The vendor tables of monitor and child-device information, read in chunks.
#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "foundation/log/Log.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/DdcciFrame.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorCommand.h"
#include "moncontrol/ddcci/vendor/VendorFrames.h"

namespace {

// The read fails with the failure after these (good chunks do not make up for bad ones).
constexpr int kFailuresAllowed = 20;
// A chunk: 6E len CE key offsetHigh offsetLow, the data, chk; len counts CE to the data's end.
constexpr std::size_t kChunkHeadBody = 4;
constexpr std::size_t kChunkKey = 3;
constexpr std::size_t kChunkData = 6;

void DumpChunk(std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply) {
  LogHexData(L"DdcciReadTable send data:", request.data(), request.size());
  LogHexData(L"DdcciReadTable rece data:", reply.data(), reply.size());
}

// The data of a good chunk (none for the last); nothing, logged, for one that is cut short,
// fails its checksum or is of another table.
std::optional<std::span<const std::uint8_t>> ChunkData(std::span<const std::uint8_t> request,
                                                       std::span<const std::uint8_t> reply, std::uint8_t key) {
  const std::size_t body = reply.size() >= 2 ? reply[1] & 0x7F : 0;
  // A length byte below 0x84 leaves no room for the key and offset: no chunk, not one of
  // a negative size.
  if (body < kChunkHeadBody || body + 3 > reply.size()) {
    LogError(L"CallDdcciReadTableCmd chunk's length byte 0x%02X does not fit its reply of %lu bytes",
             reply.size() >= 2 ? static_cast<unsigned>(reply[1]) : 0u, static_cast<std::uint32_t>(reply.size()));
    DumpChunk(request, reply);
    return std::nullopt;
  }
  const std::uint8_t computed = XorChecksum(kReplyChecksumSeed, reply.data(), body + 2);
  const std::uint8_t received = reply[body + 2];
  if (computed != received) LogError(L"CallDdcciReadTableCmd checksum error %d != %d", computed, received);
  if (reply[kChunkKey] != key) LogError(L"CallDdcciReadTableCmd data check error vcpCode:%d != %d", key, reply[kChunkKey]);
  if (computed != received || reply[kChunkKey] != key) {
    DumpChunk(request, reply);
    return std::nullopt;
  }
  return reply.subspan(kChunkData, body - kChunkHeadBody);
}

// Hands the table out when it holds anything; otherwise frees it.
std::uint8_t* TableOrNull(std::uint8_t* table, std::uint32_t size) {
  if (size > 0) return table;
  std::free(table);
  return nullptr;
}

}  // namespace

std::uint8_t* CallDdcciReadTableCmd(mchid::hid_device* handle, std::uint32_t* outSize, std::uint8_t vcpCode,
                                    std::uint8_t monitorIndex, std::uint8_t childIndex) {
  if (outSize == nullptr) return nullptr;
  *outSize = 0;
  MallocBuffer table = AllocateZeroed(kVendorResultSize);
  std::unique_ptr<std::uint8_t[]> reply(new (std::nothrow) std::uint8_t[kVendorResultSize]());
  if (!table || !reply) return nullptr;

  std::size_t gathered = 0;
  for (int failures = 0; failures <= kFailuresAllowed;) {
    const auto request = VendorTableReadFrame(vcpCode, childIndex, monitorIndex, static_cast<std::uint16_t>(gathered));
    std::uint32_t replyLength = 0;
    if (SEND_CMD_DDCCI(handle, static_cast<std::uint32_t>(request.size()), &replyLength, request.data(),
                       reply.get()) != 0) {
      LogHexData(L"DdcciReadTable error:", request.data(), request.size());
      ++failures;
      continue;
    }
    const auto data = ChunkData(request, {reply.get(), replyLength}, vcpCode);
    if (!data) {
      ++failures;
      continue;
    }
    if (data->empty()) {
      *outSize = static_cast<std::uint32_t>(gathered);
      return table.release();
    }
    const std::size_t n = std::min(data->size(), kVendorResultSize - gathered);
    std::memcpy(table.get() + gathered, data->data(), n);
    gathered += n;
    if (gathered == kVendorResultSize) {
      LogWarn(L"CallDdcciReadTableCmd table 0x%02X fills its %lu bytes; the read stops there",
              static_cast<unsigned>(vcpCode), static_cast<std::uint32_t>(kVendorResultSize));
      *outSize = static_cast<std::uint32_t>(gathered);
      return table.release();
    }
  }
  LogError(L"CallDdcciReadTableCmd table 0x%02X failed after %lu bytes", static_cast<unsigned>(vcpCode),
           static_cast<std::uint32_t>(gathered));
  return table.release();
}

std::uint8_t* CallGetMonitorInfo(mchid::hid_device* handle, std::uint8_t monitorIndex) {
  LogInfo(L"CallGetMonitorInfo Start");
  std::uint32_t outSize = 0;
  std::uint8_t* table = CallDdcciReadTableCmd(handle, &outSize, kVendorMonitorInfo, monitorIndex, 0);
  LogInfo(L"CallGetMonitorInfo monitorIndex=%d,outSize = %d", monitorIndex, static_cast<int>(outSize));
  return TableOrNull(table, outSize);
}

std::uint8_t* CallGetChildInfo(mchid::hid_device* handle, std::uint8_t monitorIndex, std::uint8_t childIndex) {
  LogInfo(L"CallGetChildInfo Start");
  std::uint32_t outSize = 0;
  std::uint8_t* table = CallDdcciReadTableCmd(handle, &outSize, kVendorChildInfo, monitorIndex, childIndex);
  LogInfo(L"CallGetChildInfo monitorIndex=%d,childIndex=%d,outSize=%d", monitorIndex, childIndex,
          static_cast<int>(outSize));
  return TableOrNull(table, outSize);
}
