#include "moncontrol/transport/Signature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/log/Log.h"
#include "moncontrol/api/CommandHeaderApi.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/ByteOrder.h"
#include "moncontrol/transport/CommandHeader.h"

namespace {

std::vector<std::uint8_t> Request(std::uint32_t cmdType, std::vector<std::uint8_t> payload) {
  tagMCCMD_HEADER header{};
  header.dataLength = static_cast<std::uint32_t>(payload.size());
  header.cmdID = 0x12345601;
  header.cmdType = cmdType;
  header.param1 = 0x6E;
  header.param2 = 0x51;
  std::vector<std::uint8_t> request(kMccmdHeaderSize + payload.size());
  StoreMccmdHeader(header, request.data());
  std::copy(payload.begin(), payload.end(), request.begin() + kMccmdHeaderSize);
  return request;
}

std::uint32_t StoredSignature(const std::vector<std::uint8_t>& request) {
  return LoadUInt32LE(request.data() + 1);
}

TEST(Signature, Crc16ModbusCheckValue) {
  const char* check = "123456789";
  EXPECT_EQ(Crc16Modbus(reinterpret_cast<const std::uint8_t*>(check), 9), 0x4B37);
}

TEST(Signature, StoresHighLowHighZero) {
  std::vector<std::uint8_t> request = Request(MCCMD_TYPE_DDCCI, {0x51, 0x82, 0x01, 0x10});
  ASSERT_EQ(SignCmdHeader(request.data()), 0);
  std::uint16_t crc = Crc16Modbus(request.data() + 5, 28 + 4);
  EXPECT_EQ(request[1], crc >> 8);
  EXPECT_EQ(request[2], crc & 0xFF);
  EXPECT_EQ(request[3], crc >> 8);
  EXPECT_EQ(request[4], 0x00);
}

TEST(Signature, CoversExactlyDataLengthToEndOfPayload) {
  std::vector<std::uint8_t> base = Request(MCCMD_TYPE_DDCCI, {});
  ASSERT_EQ(SignCmdHeader(base.data()), 0);
  EXPECT_EQ(StoredSignature(base) & 0xFFFF, ((Crc16Modbus(base.data() + 5, 28) & 0xFF) << 8) |
                                                (Crc16Modbus(base.data() + 5, 28) >> 8));

  // Neither the report ID nor the old signature is covered.
  std::vector<std::uint8_t> other = base;
  other[0] = 0x7F;
  std::memset(other.data() + 1, 0xEE, 4);
  ASSERT_EQ(SignCmdHeader(other.data()), 0);
  EXPECT_EQ(StoredSignature(other), StoredSignature(base));

  // Every byte behind the length is (the length itself would widen the span beyond the buffer).
  for (std::size_t offset = 9; offset < base.size(); ++offset) {
    std::vector<std::uint8_t> changed = base;
    changed[offset] ^= 0x01;
    ASSERT_EQ(SignCmdHeader(changed.data()), 0);
    EXPECT_NE(StoredSignature(changed), StoredSignature(base)) << "offset " << offset;
  }
}

TEST(Signature, RefusesNothingAndTooLongPayloads) {
  EXPECT_EQ(SignCmdHeader(nullptr), MC_ERR_SIGN_ARGS);
  std::vector<std::uint8_t> header = Request(MCCMD_TYPE_FUNCTION, {});
  WriteUInt32LE(kMaxSignedDataLength + 1, header.data() + 5);
  EXPECT_EQ(SignCmdHeader(header.data()), MC_ERR_SIGN_ARGS);
}

TEST(Signature, GetSignatureMatchesHandBuiltFunctionRequest) {
  struct Case {
    std::vector<std::uint8_t> payload;
    bool passData;
  };
  const Case cases[] = {{{}, true}, {{1, 2, 3, 4, 5}, true}, {{0, 0, 0, 0, 0, 0, 0}, false}};
  for (const Case& c : cases) {
    tagMCCMD_HEADER header{};
    header.dataLength = static_cast<std::uint32_t>(c.payload.size());
    header.cmdID = 0xCAFE0102;
    header.cmdType = MCCMD_TYPE_FUNCTION;
    header.param1 = 7;
    header.param2 = 8;
    header.param3 = 9;
    header.param4 = 10;
    std::vector<std::uint8_t> request(kMccmdHeaderSize + c.payload.size());
    StoreMccmdHeader(header, request.data());
    std::copy(c.payload.begin(), c.payload.end(), request.begin() + kMccmdHeaderSize);
    ASSERT_EQ(SignCmdHeader(request.data()), 0);

    std::uint32_t signature = GetSignature(0xCAFE0102, 7, 8, 9, 10, header.dataLength,
                                           c.passData ? c.payload.data() : nullptr);
    EXPECT_EQ(signature, StoredSignature(request)) << c.payload.size() << " bytes";
    EXPECT_LE(signature, 0xFFFFFFu);
  }
}

}  // namespace
