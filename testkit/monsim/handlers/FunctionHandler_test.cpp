#include "testkit/monsim/handlers/FunctionHandler.h"

#include <gtest/gtest.h>

#include "testkit/monsim/Simulator.h"
#include "testkit/monsim/testing/MonitorFixture.h"
#include "testkit/monsim/testing/TestHost.h"

namespace monsim {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSplitCode = 0x40;
constexpr std::uint32_t kSilentCode = 0x41;
constexpr std::uint32_t kLast = 0xFFFF;

Request FunctionRequest(std::uint32_t code, std::uint32_t param2, std::uint32_t param3, std::uint32_t param4,
                        Bytes data = {}) {
  Request request;
  request.header.cmdID = 0x1234;
  request.header.cmdType = MCCMD_TYPE_FUNCTION;
  request.header.param1 = code;
  request.header.param2 = param2;
  request.header.param3 = param3;
  request.header.param4 = param4;
  request.payload = std::move(data);
  return request;
}

Bytes Sequence(std::size_t from, std::size_t count) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(from + i);
  return bytes;
}

TEST(FunctionHandler, StandardFunctionsAnswerWithTheirDataAndTheCallIsTaken) {
  Functions functions;
  Reply version = AnswerFunctionRequest(FunctionRequest(kFunctionMonCtrlVersion, 1, 2, 3), functions);
  EXPECT_EQ(+version.header.param1, HID_ACK_SUCCESS);
  EXPECT_EQ(version.payload, (Bytes{0x04, 0x03, 0x02, 0x01}));
  EXPECT_EQ(+version.header.param2, 1u);  // values it does not define come back as sent
  EXPECT_EQ(+version.header.param4, 3u);
  EXPECT_EQ(AnswerFunctionRequest(FunctionRequest(kFunctionHpdStatus, 0, 0, 0), functions).payload.size(), 4u);
  EXPECT_EQ(AnswerFunctionRequest(FunctionRequest(kFunctionGsensorStatus, 0, 0, 0), functions).payload.size(), 16u);

  functions.definitions[0x10].param3 = 0x0102;
  Reply defined = AnswerFunctionRequest(FunctionRequest(0x10, 5, 6, 7, {0xAA, 0xBB}), functions);
  EXPECT_EQ(+defined.header.param2, 5u);
  EXPECT_EQ(+defined.header.param3, 0x0102u);
  EXPECT_TRUE(defined.payload.empty());

  ASSERT_EQ(functions.calls.size(), 4u);
  EXPECT_EQ(functions.calls[3].code, 0x10u);
  EXPECT_EQ(functions.calls[3].param4, 7u);
  EXPECT_EQ(functions.calls[3].data, (Bytes{0xAA, 0xBB}));
}

TEST(FunctionHandler, UnknownFunctionsAreUnsupportedAndSilentOnesGoUnanswered) {
  Functions functions;
  functions.definitions[kSilentCode] = FunctionAnswering({}, FunctionTransfer::NoReply);
  EXPECT_EQ(+AnswerFunctionRequest(FunctionRequest(0x77, 0, 0, 0), functions).header.param1, kStatusUnsupported);
  EXPECT_TRUE(functions.calls.empty());

  EXPECT_TRUE(AnswerFunctionRequest(FunctionRequest(kSilentCode, 1, 2, 3, {9}), functions).unanswered);
  ASSERT_EQ(functions.calls.size(), 1u);
  EXPECT_EQ(functions.calls[0].data, Bytes{9});
}

// One chunk of a split transfer of the 10 bytes 0..9: its position in param4's high half
// (kLast for the last chunk), the bytes it carries and its param3.
struct Chunk {
  std::uint32_t position;
  std::size_t from;
  std::size_t size;
  std::uint32_t param3 = 0;
};

struct SplitCase {
  const char* name;
  std::vector<Chunk> chunks;
  std::vector<std::uint32_t> statuses;
  std::vector<Bytes> callsTaken;
};

constexpr std::uint32_t kTotal = 10;
constexpr std::uint32_t kOk = HID_ACK_SUCCESS;
constexpr std::uint32_t kNo = kStatusRejected;

class SplitTransferTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTransferTest, ChunksArePutBackTogetherAndChecked) {
  const SplitCase& c = GetParam();
  Functions functions;
  functions.definitions[kSplitCode] = FunctionAnswering({0xD0, 0xD1}, FunctionTransfer::Split);
  functions.definitions[kSplitCode].param2 = 0x99;
  std::vector<std::uint32_t> statuses;
  for (const Chunk& chunk : c.chunks) {
    Request request =
        FunctionRequest(kSplitCode, 5, chunk.param3, kTotal | chunk.position << 16, Sequence(chunk.from, chunk.size));
    Reply reply = AnswerFunctionRequest(request, functions);
    statuses.push_back(reply.header.param1);
    const bool taken = reply.header.param1 == kOk && chunk.position == kLast;
    // Only the call's own reply brings the function's answer.
    const Bytes answer = taken ? Bytes{0xD0, 0xD1} : Bytes{};
    EXPECT_EQ(reply.payload, answer) << chunk.from;
    if (reply.header.param1 == kOk) {
      EXPECT_EQ(+reply.header.param2, taken ? 0x99u : 5u);
    }
  }
  EXPECT_EQ(statuses, c.statuses);
  std::vector<Bytes> taken;
  for (const FunctionCall& call : functions.calls) taken.push_back(call.data);
  EXPECT_EQ(taken, c.callsTaken);
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, SplitTransferTest,
    ::testing::Values(
        SplitCase{"InOrder", {{0, 0, 4}, {4, 4, 4}, {kLast, 8, 2}}, {kOk, kOk, kOk}, {Sequence(0, 10)}},
        SplitCase{"InOneChunk", {{kLast, 0, 10}}, {kOk}, {Sequence(0, 10)}},
        SplitCase{"StartedAgainAtOffsetZero",
                  {{0, 0, 4}, {4, 4, 4}, {0, 0, 4}, {4, 4, 4}, {kLast, 8, 2}},
                  {kOk, kOk, kOk, kOk, kOk},
                  {Sequence(0, 10)}},
        SplitCase{"TwoTransfersInARow",
                  {{0, 0, 6}, {kLast, 6, 4}, {kLast, 0, 10}},
                  {kOk, kOk, kOk},
                  {Sequence(0, 10), Sequence(0, 10)}},
        SplitCase{"AGapDropsTheTransfer", {{0, 0, 4}, {5, 5, 3}, {kLast, 8, 2}}, {kOk, kNo, kNo}, {}},
        SplitCase{"ALastChunkThatFallsShort", {{0, 0, 4}, {kLast, 4, 2}}, {kOk, kNo}, {}},
        SplitCase{"AMiddleChunkThatReachesTheTotal", {{0, 0, 4}, {4, 4, 6}}, {kOk, kNo}, {}},
        SplitCase{"AContinuationWithoutAStart", {{4, 4, 4}}, {kNo}, {}},
        SplitCase{"AnotherParam3MidTransfer", {{0, 0, 4, 1}, {4, 4, 4, 2}}, {kOk, kNo}, {}},
        SplitCase{"AnEmptyChunk", {{0, 0, 0}}, {kNo}, {}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(FunctionHandler, ACallWithoutReplyReachesTheMonitorAndNothingComesBack) {
  MonitorDescription monitor = testing::SmallMonitor();
  monitor.functions.definitions[kSilentCode] = FunctionAnswering({}, FunctionTransfer::NoReply);
  Simulator sim;
  sim.Add(monitor);
  auto connection = sim.Open("monsim/S1/0");
  tagMCCMD_HEADER header{};
  header.cmdID = 3;
  header.cmdType = MCCMD_TYPE_FUNCTION;
  header.param1 = kSilentCode;
  ASSERT_GT(testing::WriteRequest(*connection, testing::BuildRequest(header, Sequence(0, 40))), 0);

  EXPECT_FALSE(testing::ReadMessage(*connection, 0));
  auto calls = sim.State("S1")->functions.calls;
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].data, Sequence(0, 40));
}

}  // namespace
}  // namespace monsim
