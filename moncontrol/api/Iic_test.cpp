#include <gtest/gtest.h>

#include "moncontrol/api/FunctionCallTest.h"
#include "moncontrol/api/IicApi.h"
#include "moncontrol/api/StatusCodes.h"

namespace {

constexpr std::int32_t kSlave = 0x50;

class IicTest : public FunctionCallTest {
 protected:
  void SetUp() override {
    FunctionCallTest::SetUp();
    monsim::MonitorDescription monitor = monsim::testing::SmallMonitor();
    monitor.iic[kSlave] = Sequence(0x10, 64);
    m_handle = OpenSimulated(monitor);
    ASSERT_NE(m_handle, nullptr);
  }
  Bytes Registers() { return SimulatedState().iic.at(kSlave); }

  mchid::hid_device* m_handle = nullptr;
};

struct ReadCase {
  const char* name;
  std::int32_t slave;
  std::uint16_t offset;
  std::int32_t count;
  std::uint32_t capacity;
  std::int32_t result;
  Bytes delivered;  // the start of the caller's buffer
};

class IicReadTest : public IicTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(IicReadTest, DeliversWhatTheCallerHasRoomFor) {
  const ReadCase& c = GetParam();
  Bytes buffer(80, 0xEE);
  EXPECT_EQ(ReadIIC(m_handle, c.slave, c.offset, c.count, c.capacity, buffer.data()), c.result);
  Bytes untouched(buffer.size() - c.delivered.size(), 0xEE);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + c.delivered.size()), c.delivered);
  EXPECT_EQ(Bytes(buffer.begin() + c.delivered.size(), buffer.end()), untouched);

  const monsim::RecordedRequest request = SimulatedRequests().at(0);
  EXPECT_TRUE(request.signatureValid);
  EXPECT_EQ(+request.header.cmdType, MCCMD_TYPE_IIC);
  EXPECT_EQ(+request.header.param1, static_cast<std::uint32_t>(c.slave));
  EXPECT_EQ(+request.header.param2, c.offset);
  EXPECT_EQ(+request.header.param3, static_cast<std::uint32_t>(c.count));
  EXPECT_EQ(+request.header.param4, 0u);
  EXPECT_TRUE(request.payload.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Reads, IicReadTest,
    ::testing::Values(ReadCase{"FourRegisters", kSlave, 2, 4, 16, 4, {0x12, 0x13, 0x14, 0x15}},
                      ReadCase{"MoreThanTheCallersRoom", kSlave, 0, 20, 16, 16, Sequence(0x10, 16)},
                      ReadCase{"OverSeveralReportsIntoLessRoom", kSlave, 0, 48, 16, 16, Sequence(0x10, 16)},
                      ReadCase{"OverSeveralReports", kSlave, 8, 56, 80, 56, Sequence(0x18, 56)},
                      ReadCase{"PastTheLastRegister", kSlave, 60, 8, 16, MC_ERR_READ_FAILED, {}},
                      ReadCase{"FromAnAbsentSlave", 0x51, 0, 1, 16, MC_ERR_READ_FAILED, {}}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

struct WriteCase {
  const char* name;
  std::uint16_t offset;
  Bytes data;
  std::int32_t result;
};

class IicWriteTest : public IicTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(IicWriteTest, WritesTheRegistersAndPassesTheTransportsResultOn) {
  const WriteCase& c = GetParam();
  Bytes expected = Registers();
  if (c.result == 0) std::copy(c.data.begin(), c.data.end(), expected.begin() + c.offset);

  EXPECT_EQ(WriteIIC(m_handle, kSlave, c.offset, 0x1234, static_cast<std::uint32_t>(c.data.size()), c.data.data()),
            c.result);
  EXPECT_EQ(Registers(), expected);
  const monsim::RecordedRequest request = SimulatedRequests().at(0);
  EXPECT_TRUE(request.signatureValid);
  EXPECT_EQ(+request.header.cmdType, MCCMD_TYPE_IIC);
  EXPECT_EQ(+request.header.param2, c.offset);
  EXPECT_EQ(+request.header.param3, 0x1234u);
  EXPECT_EQ(+request.header.param4, 1u);
  EXPECT_EQ(request.payload, c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, IicWriteTest,
    ::testing::Values(WriteCase{"ThreeRegisters", 5, {0xA0, 0xA1, 0xA2}, 0},
                      WriteCase{"OverSeveralReports", 4, Sequence(0x80, 60), 0},
                      // Refused with status 1 on every one of the five sends.
                      WriteCase{"PastTheLastRegister", 62, {0xA0, 0xA1, 0xA2}, MC_ERR_STATUS_BASE + 1}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST_F(IicTest, ArgumentsThatCannotBeSentAreRefusedBeforeAnythingGoesOut) {
  Bytes buffer(16);
  EXPECT_EQ(ReadIIC(m_handle, kSlave, 0, 4, 16, nullptr), MC_ERR_INVALID_ARG);
  EXPECT_EQ(WriteIIC(m_handle, kSlave, 0, 0, 4, nullptr), MC_ERR_INVALID_ARG);
  const Bytes tooLong(992);
  EXPECT_EQ(WriteIIC(m_handle, kSlave, 0, 0, 992, tooLong.data()), MC_ERR_INVALID_ARG);
  EXPECT_TRUE(SimulatedRequests().empty());

  // The null handle is the transport's to refuse; the read folds every failure into one code.
  EXPECT_EQ(ReadIIC(nullptr, kSlave, 0, 4, 16, buffer.data()), MC_ERR_READ_FAILED);
  EXPECT_EQ(WriteIIC(nullptr, kSlave, 0, 0, 4, buffer.data()), MC_ERR_INVALID_ARG);
}

TEST_F(IicTest, AReplyClaimingMoreDataThanItsBufferHoldsFailsTheRead) {
  Simulator().QueueFault("S1", {monsim::FaultKind::HostileDataLength, 0xFFFFFFF0});
  Bytes buffer(16, 0xEE);
  EXPECT_EQ(ReadIIC(m_handle, kSlave, 0, 4, 16, buffer.data()), MC_ERR_READ_FAILED);
  EXPECT_EQ(buffer, Bytes(16, 0xEE));
}

}  // namespace
