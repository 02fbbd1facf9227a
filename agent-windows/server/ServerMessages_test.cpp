#include "agent-windows/server/ServerMessages.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "foundation/text/ComputerName.h"

using nlohmann::json;

namespace {

struct ResponseCase {
  const char* name;
  std::int64_t cmdid;
  int status;
  std::string text;
};

class BuildResponseTest : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(BuildResponseTest, WritesSortedCompactText) {
  EXPECT_EQ(BuildResponse(GetParam().cmdid, GetParam().status), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, BuildResponseTest,
    ::testing::Values(
        ResponseCase{"Ok", 17, 0, R"({"cmdid":17,"status":"ok","type":"response"})"},
        ResponseCase{"Busy", -4, 1, R"({"cmdid":-4,"status":"busy","type":"response"})"},
        ResponseCase{"Heartbeat", 0, 2, R"({"cmdid":0,"status":"heartbeat","type":"response"})"},
        // Above 2^53 a double would lose the last digit.
        ResponseCase{"DownFileFailExactInt64", 9007199254740993, 3,
                     R"({"cmdid":9007199254740993,"status":"downFileFail","type":"response"})"},
        ResponseCase{"IndexPastTableHasNoStatus", 5, 4, R"({"cmdid":5,"type":"response"})"},
        ResponseCase{"NegativeIndexHasNoStatus", 5, -1, R"({"cmdid":5,"type":"response"})"}),
    [](const ::testing::TestParamInfo<ResponseCase>& info) { return info.param.name; });

TEST(BuildReportBaseTest, HostNameAndType) {
  EXPECT_EQ(SerializeMessage(BuildReportBase()),
            R"({"hostName":")" + GetComputerNameString() + R"(","type":"displayStatusReport"})");
}

TEST(BuildReportBaseTest, UnreadableComputerNameGivesEmptyHostName) {
  setenv("TARVIK_WIN32_FAIL", "GetComputerNameA", 1);
  json base = BuildReportBase();
  unsetenv("TARVIK_WIN32_FAIL");
  EXPECT_EQ(base, json({{"hostName", ""}, {"type", "displayStatusReport"}}));
}

class InstallProgressTest : public ::testing::Test {
 protected:
  void TearDown() override { g_nUserId = 0; }
};

TEST_F(InstallProgressTest, ProgressCarriesPercentWithFractionAndUserId) {
  g_nUserId = 42;
  EXPECT_EQ(GetSendInstallProgress("SN01", 50.0f, 1, ""),
            R"({"hostName":")" + GetComputerNameString() +
                R"(","monitorList":[{"index":0,"serialNumber":"SN01","updateProcessInfo":)"
                R"({"updateContent":"","updateFlag":1,"updateStatus":50.0,"userId":42}}],)"
                R"("type":"firmwareUpdateProgress"})");
}

TEST_F(InstallProgressTest, FailureReportCarriesExitCode) {
  json message = json::parse(GetSendInstallProgress("SN01", 12.5f, 0, "1603"));
  EXPECT_EQ(message["monitorList"][0]["updateProcessInfo"],
            json({{"updateContent", "1603"}, {"updateFlag", 0}, {"updateStatus", 12.5}, {"userId", 0}}));
}

TEST(SerializeMessageTest, InvalidUtf8IsReplacedNotFatal) {
  // "\xC3\x84" is a valid two-byte character and passes through unescaped; "\xFF" can never
  // start one and becomes U+FFFD.
  EXPECT_EQ(SerializeMessage({{"serialNumber", "\xC3\x84-SN\xFF"}}),
            "{\"serialNumber\":\"\xC3\x84-SN\xEF\xBF\xBD\"}");
  std::string text;
  ASSERT_NO_THROW(text = GetSendInstallProgress("SN\xFE\xFF", 1.0f, 1, "\x80"));
  json entry = json::parse(text)["monitorList"][0];
  EXPECT_EQ(entry["serialNumber"], "SN\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(entry["updateProcessInfo"]["updateContent"], "\xEF\xBF\xBD");
}

// What each reader makes of {"k": <value>}: a number, or the library error it raises.
enum class Outcome { kValue, kOutOfRange, kTypeError };
struct Expect {
  Outcome outcome;
  std::int64_t value = 0;
};
Expect Value(std::int64_t value) { return {Outcome::kValue, value}; }
const Expect kOutOfRange{Outcome::kOutOfRange};
const Expect kTypeError{Outcome::kTypeError};

struct ReadCase {
  const char* name;
  std::string message;  // as received, so the number types are the parser's
  Expect int32;
  Expect int64;
};

template <typename Read>
void ExpectRead(Read read, const json& message, const Expect& expect) {
  switch (expect.outcome) {
    case Outcome::kValue:
      EXPECT_EQ(read(message, "k"), expect.value);
      break;
    case Outcome::kOutOfRange:
      EXPECT_THROW(read(message, "k"), json::out_of_range);
      break;
    case Outcome::kTypeError:
      EXPECT_THROW(read(message, "k"), json::type_error);
      break;
  }
}

class GetJsonIntTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(GetJsonIntTest, ConvertsOrRaises) {
  const json message = json::parse(GetParam().message);
  SCOPED_TRACE(GetParam().message);
  {
    SCOPED_TRACE("GetJsonInt");
    ExpectRead(GetJsonInt, message, GetParam().int32);
  }
  {
    SCOPED_TRACE("GetJsonInt64");
    ExpectRead(GetJsonInt64, message, GetParam().int64);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, GetJsonIntTest,
    ::testing::Values(
        ReadCase{"MissingKey", R"({"j":5})", Value(0), Value(0)},
        ReadCase{"NotAnObject", R"([1,2])", Value(0), Value(0)},
        ReadCase{"Positive", R"({"k":42})", Value(42), Value(42)},
        ReadCase{"Negative", R"({"k":-7})", Value(-7), Value(-7)},
        ReadCase{"Int32Max", R"({"k":2147483647})", Value(2147483647), Value(2147483647)},
        ReadCase{"PastInt32Max", R"({"k":2147483648})", kOutOfRange, Value(2147483648)},
        ReadCase{"Int32Min", R"({"k":-2147483648})", Value(-2147483648LL), Value(-2147483648LL)},
        ReadCase{"PastInt32Min", R"({"k":-2147483649})", kOutOfRange, Value(-2147483649LL)},
        ReadCase{"Int64Max", R"({"k":9223372036854775807})", kOutOfRange,
                 Value(9223372036854775807LL)},
        ReadCase{"PastInt64Max", R"({"k":9223372036854775808})", kOutOfRange, kOutOfRange},
        ReadCase{"Int64Min", R"({"k":-9223372036854775808})", kOutOfRange,
                 Value(INT64_MIN)},
        ReadCase{"FractionCutTowardZero", R"({"k":2.9})", Value(2), Value(2)},
        ReadCase{"NegativeFractionCutTowardZero", R"({"k":-2.9})", Value(-2), Value(-2)},
        ReadCase{"FloatJustBelowInt32Max", R"({"k":2147483647.5})", Value(2147483647),
                 Value(2147483647)},
        ReadCase{"FloatInt32Overflow", R"({"k":2147483648.0})", kOutOfRange, Value(2147483648)},
        ReadCase{"FloatJustAboveInt32Min", R"({"k":-2147483648.9})", Value(-2147483648LL),
                 Value(-2147483648LL)},
        ReadCase{"FloatInt32Underflow", R"({"k":-2147483649.0})", kOutOfRange,
                 Value(-2147483649LL)},
        ReadCase{"FloatInt64Min", R"({"k":-9223372036854775808.0})", kOutOfRange,
                 Value(INT64_MIN)},
        ReadCase{"FloatTwoToThe63", R"({"k":9223372036854775808.0})", kOutOfRange, kOutOfRange},
        ReadCase{"HugeFloat", R"({"k":1e300})", kOutOfRange, kOutOfRange},
        ReadCase{"HugeNegativeFloat", R"({"k":-1e300})", kOutOfRange, kOutOfRange},
        ReadCase{"True", R"({"k":true})", Value(1), kTypeError},
        ReadCase{"False", R"({"k":false})", Value(0), kTypeError},
        ReadCase{"String", R"({"k":"5"})", kTypeError, kTypeError},
        ReadCase{"Null", R"({"k":null})", kTypeError, kTypeError},
        ReadCase{"Array", R"({"k":[5]})", kTypeError, kTypeError},
        ReadCase{"Object", R"({"k":{}})", kTypeError, kTypeError}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

}  // namespace
