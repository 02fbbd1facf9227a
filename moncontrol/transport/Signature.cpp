#include "moncontrol/transport/Signature.h"

#include <cstdlib>
#include <cstring>

#include "foundation/log/Log.h"
#include "moncontrol/api/CommandHeaderApi.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/ByteOrder.h"
#include "moncontrol/transport/CommandHeader.h"

namespace {

constexpr std::size_t kSignedFrom = offsetof(tagMCCMD_HEADER, dataLength);

}  // namespace

std::uint16_t Crc16Modbus(const std::uint8_t* data, std::size_t length) {
  std::uint16_t crc = 0xFFFF;
  for (std::size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                      : static_cast<std::uint16_t>(crc >> 1);
    }
  }
  return crc;
}

int SignCmdHeader(std::uint8_t* request) {
  if (request == nullptr) return MC_ERR_SIGN_ARGS;
  std::uint32_t dataLength = LoadUInt32LE(request + kSignedFrom);
  if (dataLength > kMaxSignedDataLength) {
    LogError(L"SignCmdHeader dataLength %lu is too long to sign", dataLength);
    return MC_ERR_SIGN_ARGS;
  }
  std::uint16_t crc =
      Crc16Modbus(request + kSignedFrom, (kMccmdHeaderSize - kSignedFrom) + dataLength);
  // The device expects the CRC's high byte, its low byte, the high byte again and a zero.
  std::uint32_t stored = (static_cast<std::uint32_t>(crc) << 8) | (crc >> 8);
  WriteUInt32LE(stored, request + offsetof(tagMCCMD_HEADER, signature));
  return 0;
}

std::uint32_t GetSignature(std::uint32_t cmdID, std::uint32_t param1, std::uint32_t param2,
                           std::uint32_t param3, std::uint32_t param4, std::uint32_t dataLength,
                           const std::uint8_t* data) {
  if (dataLength > kMaxSignedDataLength) return static_cast<std::uint32_t>(MC_ERR_SIGN_ARGS);
  std::size_t size = kMccmdHeaderSize + dataLength;
  auto* request = static_cast<std::uint8_t*>(std::calloc(size, 1));
  if (request == nullptr) return static_cast<std::uint32_t>(MC_ERR_NO_MEMORY);
  tagMCCMD_HEADER header{};
  header.dataLength = dataLength;
  header.cmdID = cmdID;
  header.cmdType = MCCMD_TYPE_FUNCTION;
  header.param1 = param1;
  header.param2 = param2;
  header.param3 = param3;
  header.param4 = param4;
  StoreMccmdHeader(header, request);
  if (data != nullptr && dataLength > 0) std::memcpy(request + kMccmdHeaderSize, data, dataLength);
  SignCmdHeader(request);
  std::uint32_t signature = LoadUInt32LE(request + offsetof(tagMCCMD_HEADER, signature));
  std::free(request);
  return signature;
}
