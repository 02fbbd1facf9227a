#include <gtest/gtest.h>

#include <cstdlib>

#include "moncontrol/api/FunctionCallApi.h"
#include "moncontrol/api/FunctionCallTest.h"
#include "moncontrol/api/StatusCodes.h"

namespace {

constexpr std::int32_t kEcho = 0x10;    // answers with its definition's param3 and data
constexpr std::int32_t kSilent = 0x11;  // never answers

struct Call : CallerSide {
  void Run(mchid::hid_device* handle, std::int32_t code, const Bytes& send, const void* sendData) {
    CallerSide::Run(CallFunction, handle, code, send, sendData);
  }
};

class FunctionCallSimulatedTest : public FunctionCallTest {
 protected:
  void SetUp() override {
    FunctionCallTest::SetUp();
    monsim::MonitorDescription monitor = monsim::testing::SmallMonitor();
    monitor.functions.definitions[kEcho] = monsim::FunctionAnswering(Sequence(0x40, 40));
    monitor.functions.definitions[kEcho].param3 = 0x0BAD;
    monitor.functions.definitions[kSilent] = monsim::FunctionAnswering({}, monsim::FunctionTransfer::NoReply);
    m_handle = OpenSimulated(monitor);
    ASSERT_NE(m_handle, nullptr);
  }
  mchid::hid_device* m_handle = nullptr;
};

TEST_F(FunctionCallSimulatedTest, SendsTheValuesAndDataAndReturnsWhatTheMonitorAnswered) {
  Call call;
  const Bytes send = Sequence(0, 100);
  call.Run(m_handle, kEcho, send, send.data());
  EXPECT_EQ(call.status, 0);
  EXPECT_EQ(call.data, Sequence(0x40, 40));  // more than one report's worth
  EXPECT_EQ(call.replyLength, 40);
  EXPECT_EQ(call.param2, 2);
  EXPECT_EQ(call.param3, 0x0BAD);
  EXPECT_EQ(call.param4, 4);

  const monsim::RecordedRequest request = SimulatedRequests().at(0);
  EXPECT_TRUE(request.signatureValid);
  EXPECT_EQ(+request.header.cmdType, MCCMD_TYPE_FUNCTION);
  EXPECT_EQ(+request.header.param1, static_cast<std::uint32_t>(kEcho));
  EXPECT_EQ(+request.header.param3, 3u);
  EXPECT_EQ(request.payload, send);
}

TEST_F(FunctionCallSimulatedTest, DataNotGivenGoesOutAsZerosAndNullIntegersReadAsZero) {
  std::int32_t status = 1;
  std::uint8_t* reply = CallFunction(m_handle, kEcho, nullptr, nullptr, nullptr, 5, nullptr, nullptr, &status, 1000);
  EXPECT_EQ(status, 0);
  EXPECT_NE(reply, nullptr);
  std::free(reply);
  const monsim::RecordedRequest request = SimulatedRequests().at(0);
  EXPECT_EQ(request.payload, Bytes(5, 0));
  EXPECT_EQ(+request.header.param2, 0u);
}

struct FailureCase {
  const char* name;
  monsim::Fault fault;
  std::int32_t status;
};

class FunctionCallFailureTest : public FunctionCallSimulatedTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FunctionCallFailureTest, ReportsTheTransportsCodeAndLeavesTheCallersIntegers) {
  Simulator().QueueFault("S1", GetParam().fault);
  Call call;
  call.Run(m_handle, kEcho, {}, nullptr);
  EXPECT_EQ(call.status, GetParam().status);
  EXPECT_FALSE(call.hadData);
  EXPECT_EQ(call.param2, 2);
  EXPECT_EQ(call.param3, 3);
  EXPECT_EQ(call.param4, 4);
  EXPECT_EQ(call.replyLength, -1);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FunctionCallFailureTest,
    ::testing::Values(FailureCase{"Refused", {monsim::FaultKind::Status, 4}, MC_ERR_STATUS_BASE + 4},
                      FailureCase{"NoReply", {monsim::FaultKind::Missing}, MC_ERR_NO_REPLY},
                      FailureCase{"RepliesForAnotherCommand", {monsim::FaultKind::Mismatch, 0, 5}, MC_ERR_STATUS_BASE + 1},
                      FailureCase{"AReplyClaimingGigabytes", {monsim::FaultKind::HostileDataLength, 0xFFFFFFF0},
                                  MC_ERR_NO_REPLY}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(FunctionCallSimulatedTest, AnUnknownFunctionIsRefusedFiveTimesWithPausesOnTheClock) {
  Call call;
  call.Run(m_handle, 0x7F, {}, nullptr);
  EXPECT_EQ(call.status, MC_ERR_STATUS_BASE + 2);
  EXPECT_EQ(SimulatedRequests().size(), 5u);
  EXPECT_EQ(m_clock.Sleeps(), (std::vector<long long>{100, 100, 100, 100, 100}));
}

TEST_F(FunctionCallSimulatedTest, RequestsThatCannotBeSentAreRefusedBeforeAnythingGoesOut) {
  Call call;
  call.Run(nullptr, kEcho, {}, nullptr);
  EXPECT_EQ(call.status, MC_ERR_NULL_DEVICE);

  const Bytes tooLong(992);  // the transport writes requests of at most 1024 bytes
  Call longCall;
  longCall.Run(m_handle, kEcho, tooLong, tooLong.data());
  EXPECT_EQ(longCall.status, MC_ERR_INVALID_ARG);
  EXPECT_TRUE(SimulatedRequests().empty());

  std::int32_t status = 1;
  CallFunctionNoReply(nullptr, kSilent, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &status, 0);
  EXPECT_EQ(status, MC_ERR_NULL_DEVICE);
}

TEST_F(FunctionCallSimulatedTest, ACallWithoutReplyIsTakenByTheMonitorWithoutWaiting) {
  const Bytes send = Sequence(0, 1500);  // no exchange, so no 1024-byte limit
  std::int32_t param2 = 7;
  std::int32_t status = 1;
  CallFunctionNoReply(m_handle, kSilent, &param2, nullptr, nullptr, static_cast<std::uint32_t>(send.size()), nullptr,
                      send.data(), &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(param2, 7);
  ASSERT_EQ(SimulatedState().functions.calls.size(), 1u);
  EXPECT_EQ(SimulatedState().functions.calls[0].data, send);
  EXPECT_EQ(SimulatedState().functions.calls[0].param2, 7u);
  EXPECT_TRUE(m_clock.Sleeps().empty());
  EXPECT_EQ(LogLines().back(), "CallFunctionNoReply SendCommandNoReply RET=0");
}

class FunctionCallScriptedTest : public FunctionCallTest {
 protected:
  void SetUp() override {
    FunctionCallTest::SetUp();
    m_handle = OpenScripted();
    ASSERT_NE(m_handle, nullptr);
  }
  mchid::hid_device* m_handle = nullptr;
};

TEST_F(FunctionCallScriptedTest, ACallWithoutDataIsOneHeaderAndAnEmptyReplyGivesNoBuffer) {
  m_device->Answer(testkit::ReplyStatus(HID_ACK_SUCCESS));
  Call call;
  call.Run(m_handle, kEcho, {}, nullptr);
  EXPECT_EQ(call.status, 0);
  EXPECT_FALSE(call.hadData);
  EXPECT_EQ(call.replyLength, 0);
  ASSERT_EQ(m_device->Requests().size(), 1u);
  EXPECT_EQ(m_device->Requests()[0].size(), kMccmdHeaderSize);
}

TEST_F(FunctionCallScriptedTest, ACallWithoutReplyWritesHeaderAndPayloadAndNothingBehind) {
  const Bytes send = Sequence(0, 100);
  std::int32_t status = 1;
  CallFunctionNoReply(m_handle, kSilent, nullptr, nullptr, nullptr, 100, nullptr, send.data(), &status, 0);
  EXPECT_EQ(status, 0);
  // 133 bytes: the first report holds 65 of them, each later one its report ID and 64 more.
  EXPECT_EQ(m_device->Writes().size(), 3u);
  const std::vector<Bytes> requests = m_device->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].size(), kMccmdHeaderSize + 100);
  EXPECT_EQ(Bytes(requests[0].begin() + kMccmdHeaderSize, requests[0].end()), send);
  EXPECT_TRUE(m_device->ReadTimeouts().empty());
}

TEST_F(FunctionCallScriptedTest, ACallWithoutReplyThatCannotBeWrittenReportsTheTransportsCode) {
  m_device->FailNextWrites(50);  // ten failed writes use up each of the five tries
  std::int32_t status = 1;
  CallFunctionNoReply(m_handle, kSilent, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &status, 0);
  EXPECT_EQ(status, MC_ERR_NO_REPLY);
  EXPECT_EQ(LogLines().back(), "CallFunctionNoReply SendCommandNoReply RET=-1005");
}

}  // namespace
