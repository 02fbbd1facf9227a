#include "testkit/monsim/handlers/IicHandler.h"

#include <gtest/gtest.h>

namespace monsim {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSlave = 0x50;

Bytes Registers() {
  Bytes bytes(16);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(0x10 + i);
  return bytes;
}

struct IicCase {
  const char* name;
  std::uint32_t slave;
  std::uint32_t offset;
  std::uint32_t count;
  std::uint32_t direction;  // param4
  Bytes payload;
  std::uint32_t status;
  Bytes reply;
  Bytes registersAfter;
};

Bytes With(Bytes bytes, std::size_t at, const Bytes& written) {
  std::copy(written.begin(), written.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
  return bytes;
}

class IicHandlerTest : public ::testing::TestWithParam<IicCase> {};

TEST_P(IicHandlerTest, AnswersFromTheSlavesRegisters) {
  const IicCase& c = GetParam();
  IicRegisters bus{{kSlave, Registers()}};
  Request request;
  request.header.cmdID = 7;
  request.header.cmdType = MCCMD_TYPE_IIC;
  request.header.param1 = c.slave;
  request.header.param2 = c.offset;
  request.header.param3 = c.count;
  request.header.param4 = c.direction;
  request.payload = c.payload;

  Reply reply = AnswerIicRequest(request, bus);
  EXPECT_EQ(+reply.header.param1, c.status);
  EXPECT_EQ(+reply.header.cmdID, 7u);
  EXPECT_EQ(reply.payload, c.reply);
  EXPECT_EQ(bus.at(kSlave), c.registersAfter);
  EXPECT_EQ(bus.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, IicHandlerTest,
    ::testing::Values(
        IicCase{"ReadFromTheMiddle", kSlave, 2, 4, 0, {}, HID_ACK_SUCCESS, {0x12, 0x13, 0x14, 0x15}, Registers()},
        IicCase{"ReadToTheLastRegister", kSlave, 14, 2, 0, {}, HID_ACK_SUCCESS, {0x1E, 0x1F}, Registers()},
        IicCase{"ReadOfNothing", kSlave, 16, 0, 0, {}, HID_ACK_SUCCESS, {}, Registers()},
        IicCase{"ReadPastTheLastRegister", kSlave, 14, 3, 0, {}, kStatusRejected, {}, Registers()},
        IicCase{"ReadFromAnAbsentSlave", 0x51, 0, 1, 0, {}, kStatusRejected, {}, Registers()},
        IicCase{"ReadCarryingData", kSlave, 0, 1, 0, {0xAA}, kStatusRejected, {}, Registers()},
        IicCase{"ReadBeyond16BitOffsets", kSlave, 0x10000, 1, 0, {}, kStatusRejected, {}, Registers()},
        IicCase{"Write", kSlave, 3, 99, 1, {0xA0, 0xA1}, HID_ACK_SUCCESS, {}, With(Registers(), 3, {0xA0, 0xA1})},
        IicCase{"WriteOfTheLastRegister", kSlave, 15, 0, 1, {0xEE}, HID_ACK_SUCCESS, {}, With(Registers(), 15, {0xEE})},
        IicCase{"WritePastTheLastRegister", kSlave, 15, 0, 1, {0xEE, 0xEF}, kStatusRejected, {}, Registers()},
        IicCase{"WriteToAnAbsentSlave", 0x52, 0, 0, 1, {0xEE}, kStatusRejected, {}, Registers()},
        IicCase{"NeitherReadNorWrite", kSlave, 0, 1, 2, {}, kStatusRejected, {}, Registers()}),
    [](const ::testing::TestParamInfo<IicCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace monsim
