#include <gtest/gtest.h>

#include <string>

#include "moncontrol/api/FunctionCallApi.h"
#include "moncontrol/api/FunctionCallTest.h"
#include "moncontrol/api/StatusCodes.h"

namespace {

constexpr std::int32_t kSplit = 0x20;
constexpr std::uint32_t kLast = 0xFFFF;

struct SplitCall : CallerSide {
  void Run(mchid::hid_device* handle, const Bytes& send) {
    CallerSide::Run(CallFunctionBySplit, handle, kSplit, send, send.data());
  }
};

// A monitor that acknowledges a chunk with param2 one higher than it came and the chunk's
// position (param4's high byte) as data, or refuses it with status 4, which is not resent.
testkit::Responder Accept() {
  return [](const tagMCCMD_HEADER& request, const Bytes&) {
    tagMCCMD_RECEIVE_HEADER header{};
    header.cmdID = request.cmdID;
    header.cmdType = request.cmdType;
    header.param2 = request.param2 + 1;
    header.param3 = request.param3;
    header.param4 = request.param4;
    return std::vector<testkit::ScriptedMessage>{
        {0, testkit::MessageBytes(header, {static_cast<std::uint8_t>(request.param4 >> 24)})}};
  };
}

struct SplitCase {
  const char* name;
  std::size_t total;
  std::string script;  // per request: 'o' acknowledged, 'x' refused
  std::vector<std::uint32_t> positions;
  std::int32_t status;
};

class FunctionCallSplitTest : public FunctionCallTest, public ::testing::WithParamInterface<SplitCase> {};

// 64-byte output reports leave 31 data bytes behind each header.
TEST_P(FunctionCallSplitTest, ChunksFillOneReportEachAndAFailureStartsAgain) {
  const SplitCase& c = GetParam();
  mchid::hid_device* handle = OpenScripted(64);
  ASSERT_NE(handle, nullptr);
  for (char step : c.script) m_device->Answer(step == 'o' ? Accept() : testkit::ReplyStatus(4));

  const Bytes send = Sequence(0, c.total);
  SplitCall call;
  call.Run(handle, send);
  EXPECT_EQ(call.status, c.status);

  std::vector<std::uint32_t> positions;
  for (const Bytes& request : m_device->Requests()) {
    const tagMCCMD_HEADER header = LoadMccmdHeader(request.data());
    const std::uint32_t position = header.param4 >> 16;
    positions.push_back(position);
    EXPECT_EQ(header.param4 & 0xFFFF, c.total);
    EXPECT_EQ(+header.param3, 3u);  // the caller's param3, whatever came back
    EXPECT_LE(request.size(), 64u);
    // Every chunk carries the caller's data from its offset on; the last one all that remains.
    const std::size_t from = position == kLast ? c.total - (request.size() - kMccmdHeaderSize) : position;
    EXPECT_EQ(Bytes(request.begin() + kMccmdHeaderSize, request.end()),
              Bytes(send.begin() + static_cast<std::ptrdiff_t>(from),
                    send.begin() + static_cast<std::ptrdiff_t>(from + request.size() - kMccmdHeaderSize)));
  }
  EXPECT_EQ(positions, c.positions);
  if (c.status == 0) {
    EXPECT_EQ(call.data, Bytes{0xFF});  // the last chunk's reply data
    EXPECT_EQ(call.replyLength, 1);
  } else {
    EXPECT_FALSE(call.hadData);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, FunctionCallSplitTest,
    ::testing::Values(
        SplitCase{"AllChunksAcknowledged", 100, "oooo", {0, 31, 62, kLast}, 0},
        SplitCase{"OneChunk", 31, "o", {kLast}, 0},
        SplitCase{"ThirdChunkRefusedOnce", 100, "ooxoooo", {0, 31, 62, 0, 31, 62, kLast}, 0},
        SplitCase{"LastChunkRefusedTwice", 100, "oooxoooxoooo",
                  {0, 31, 62, kLast, 0, 31, 62, kLast, 0, 31, 62, kLast}, 0},
        SplitCase{"FirstChunkRefusedThreeTimes", 100, "xxx", {0, 0, 0}, MC_ERR_STATUS_BASE + 4},
        SplitCase{"SecondChunkRefusedThreeTimes", 100, "oxoxox", {0, 31, 0, 31, 0, 31}, MC_ERR_STATUS_BASE + 4}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST_F(FunctionCallTest, SplitChunksCarryTheMonitorsParam2OnAndItsLastValuesComeBack) {
  mchid::hid_device* handle = OpenScripted(64);
  ASSERT_NE(handle, nullptr);
  m_device->AnswerEveryRequest(Accept());
  SplitCall call;
  call.Run(handle, Sequence(0, 100));
  std::vector<std::uint32_t> sentParam2;
  for (const tagMCCMD_HEADER& header : ScriptedHeaders()) sentParam2.push_back(+header.param2);
  EXPECT_EQ(sentParam2, (std::vector<std::uint32_t>{2, 3, 4, 5}));
  EXPECT_EQ(call.param2, 6);
  EXPECT_EQ(call.param4, static_cast<std::int32_t>(100 | 0xFFFF0000));
}

TEST_F(FunctionCallTest, SplitCallsThatCannotBeCutAreRefusedWithoutSendingAnything) {
  struct Case {
    const char* name;
    std::uint16_t reportLength;
    std::size_t total;
    std::int32_t status;
  };
  for (const Case& c : {Case{"NoData", 64, 0, 0}, Case{"ReportsWithoutRoomForData", 33, 10, MC_ERR_INVALID_ARG},
                        Case{"NoReportLength", 0, 10, MC_ERR_INVALID_ARG},
                        Case{"TotalBeyond16Bits", 1024, 0x10000, MC_ERR_INVALID_ARG}}) {
    SCOPED_TRACE(c.name);
    mchid::hid_device* handle = OpenScripted(c.reportLength);
    ASSERT_NE(handle, nullptr);
    m_device->AnswerEveryRequest(Accept());
    SplitCall call;
    call.Run(handle, Bytes(c.total));
    EXPECT_EQ(call.status, c.status);
    EXPECT_FALSE(call.hadData);
    EXPECT_TRUE(m_device->Requests().empty());
    Close(handle);
  }
}

TEST_F(FunctionCallTest, ANullHandleIsReportedThroughTheStatus) {
  SplitCall call;
  call.Run(nullptr, Bytes(10));
  EXPECT_EQ(call.status, MC_ERR_NULL_DEVICE);
}

// The simulated monitor puts the chunks back together; a chunk it refuses starts the transfer
// again, and the call reaches it once, whole.
TEST_F(FunctionCallTest, TheSimulatedMonitorTakesASplitCallWholeAfterARestart) {
  monsim::MonitorDescription monitor = monsim::testing::SmallMonitor();
  monitor.functions.definitions[kSplit] = monsim::FunctionAnswering({0xD0, 0xD1}, monsim::FunctionTransfer::Split);
  mchid::hid_device* handle = OpenSimulated(monitor);
  ASSERT_NE(handle, nullptr);
  Simulator().QueueFault("S1", {monsim::FaultKind::Pass, 0, 2});
  Simulator().QueueFault("S1", {monsim::FaultKind::Status, 4});

  const Bytes send = Sequence(0, 200);
  SplitCall call;
  call.Run(handle, send);
  EXPECT_EQ(call.status, 0);
  EXPECT_EQ(call.data, (Bytes{0xD0, 0xD1}));
  // 65-byte reports: 32 data bytes a chunk, seven chunks, the third refused once.
  EXPECT_EQ(SimulatedRequests().size(), 3u + 7u);
  ASSERT_EQ(SimulatedState().functions.calls.size(), 1u);
  EXPECT_EQ(SimulatedState().functions.calls[0].data, send);
}

}  // namespace
