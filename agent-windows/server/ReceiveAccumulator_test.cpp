#include "agent-windows/server/ReceiveAccumulator.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testkit/logcapture/LogCapture.h"

namespace {

struct AccumulatorCase {
  const char* name;
  std::vector<std::string> messages;
  std::vector<std::string> handled;
  std::string pending;
};

class ReceiveAccumulatorTest : public ::testing::TestWithParam<AccumulatorCase> {};

TEST_P(ReceiveAccumulatorTest, HandsOutEachCompleteTextOnce) {
  const AccumulatorCase& c = GetParam();
  testkit::LogCapture log;
  ReceiveAccumulator accumulator;
  std::vector<std::string> handled;
  for (const std::string& message : c.messages)
    for (std::string& text : accumulator.Append(message)) handled.push_back(std::move(text));
  EXPECT_EQ(handled, c.handled);
  EXPECT_EQ(accumulator.Pending(), c.pending);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReceiveAccumulatorTest,
    ::testing::Values(
        AccumulatorCase{"OneText", {R"({"a":1})"}, {R"({"a":1})"}, ""},
        AccumulatorCase{"SplitOverTwoMessages", {R"({"a":)", "1}"}, {R"({"a":1})"}, ""},
        AccumulatorCase{"TwoTextsEachFollowedByLineFeed", {"{\"a\":1}\n{\"b\":2}\n"}, {R"({"a":1})", R"({"b":2})"}, ""},
        AccumulatorCase{"SecondTextWaitsForItsEnd", {"{\"a\":1}\n{\"b\":", "2}"}, {R"({"a":1})", R"({"b":2})"}, ""},
        AccumulatorCase{"BrokenPieceBeforeLineFeedDropped", {"{\"a\":\n{\"b\":2}\n"}, {R"({"b":2})"}, ""},
        // A text that never completes must not hold back the commands after it.
        AccumulatorCase{"StalePrefixDroppedForANewText", {"{bad", R"({"c":3})"}, {R"({"c":3})"}, ""},
        AccumulatorCase{"StalePrefixDroppedBeforeSeveralTexts", {"{bad", "{\"c\":3}\n{\"d\":4}\n"},
                        {R"({"c":3})", R"({"d":4})"}, ""},
        AccumulatorCase{"IncompleteTailKept", {"{\"a\":1}\n{\"b\""}, {R"({"a":1})"}, "{\"b\""}),
    [](const ::testing::TestParamInfo<AccumulatorCase>& info) { return info.param.name; });

TEST(ReceiveAccumulatorBound, ATextThatPassesTheLimitIsDroppedWithALine) {
  testkit::LogCapture log;
  ReceiveAccumulator accumulator;
  EXPECT_TRUE(accumulator.Append("[").empty());
  EXPECT_TRUE(accumulator.Append(std::string(ReceiveAccumulator::kLimit - 1, ' ')).empty());
  EXPECT_EQ(accumulator.Pending().size(), ReceiveAccumulator::kLimit);
  EXPECT_TRUE(accumulator.Append(" ").empty());
  EXPECT_TRUE(accumulator.Pending().empty());
  bool logged = false;
  for (const testkit::LogLine& line : log.Lines())
    logged = logged || line.text.find("without completing") != std::string::npos;
  EXPECT_TRUE(logged);
  EXPECT_EQ(accumulator.Append(R"({"a":1})"), std::vector<std::string>{R"({"a":1})"});
}

TEST(IsCompleteJson, IsStrict) {
  testkit::LogCapture log;
  EXPECT_TRUE(IsCompleteJson(R"({"a":[1,2]})"));
  EXPECT_FALSE(IsCompleteJson(R"({"a":1} // note)"));
  EXPECT_FALSE(IsCompleteJson(R"({"a":1}{"b":2})"));
  EXPECT_FALSE(IsCompleteJson(""));
}

}  // namespace
