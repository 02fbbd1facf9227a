#include "testkit/mgmt-server/MessageSummary.h"

#include <gtest/gtest.h>

namespace testkit {
namespace {

struct SummaryCase {
  const char* name;
  std::string text;
  std::string summary;
};

class MessageSummaryTest : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(MessageSummaryTest, OneReadableLine) {
  EXPECT_EQ(SummarizeAgentMessage(GetParam().text), GetParam().summary);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageSummaryTest,
    ::testing::Values(
        SummaryCase{"FullReport",
                    R"({"monitorList":[{"funcList":[[16,50,100],[248,5,1,1]],"modelName":"TV-2415Q",)"
                    R"("modelVersion":"03.12T","serialNumber":"S1","vcpFuncMap":[]}],"type":"displayStatusReport"})",
                    "full report: S1 (TV-2415Q, firmware 03.12T, VCP 10=50 F8/5=1)"},
        SummaryCase{"HeartbeatWithAChange",
                    R"({"monitorList":[{"funcList":[[16,33,100]],"serialNumber":"S1"},{"serialNumber":"S2"}],)"
                    R"("type":"displayStatusReport"})",
                    "heartbeat: 2 monitor(s); S1 changed VCP 10=33"},
        SummaryCase{"MixedEntriesEachOnItsOwn",
                    R"({"monitorList":[{"funcList":[],"powerStatus":1,"serialNumber":"S1"},)"
                    R"({"funcList":[[16,50,100]],"modelName":"TV-2715Q","modelVersion":"03.12T","powerStatus":1,)"
                    R"("serialNumber":"S2","vcpFuncMap":[]},{"funcList":[],"powerStatus":0,"serialNumber":"S3"}],)"
                    R"("type":"displayStatusReport"})",
                    "heartbeat: 3 monitor(s); in full S2 (TV-2715Q, firmware 03.12T, VCP 10=50); S3 is off"},
        SummaryCase{"EmptyHeartbeat", R"({"monitorList":[],"type":"displayStatusReport"})", "heartbeat: 0 monitor(s)"},
        SummaryCase{"Applied",
                    R"({"monitorList":[{"funcList":[[16,30,0,0,0,0]],"serialNumber":"S1"},)"
                    R"({"funcList":[[248,5,0,0,0,0]],"serialNumber":"S1"}],"type":"VcpState"})",
                    "applied: S1 VCP 10=30 S1 VCP F8/5=0"},
        SummaryCase{"Progress",
                    R"({"monitorList":[{"serialNumber":"S2","updateProcessInfo":{"updateContent":"","updateFlag":1,)"
                    R"("updateStatus":50.0}}],"type":"firmwareUpdateProgress"})",
                    "firmware update: S2 50.0%"},
        SummaryCase{"FailedUpdate",
                    R"({"monitorList":[{"serialNumber":"S2","updateProcessInfo":{"updateContent":"3","updateFlag":0,)"
                    R"("updateStatus":0.0}}],"type":"firmwareUpdateProgress"})",
                    "firmware update: S2 0.0% failed (3)"},
        SummaryCase{"Response", R"({"cmdid":7,"status":"ok","type":"response"})", "answer to command 7: ok"},
        SummaryCase{"UnknownTypeAsItCame", R"({"type":"other"})", R"({"type":"other"})"},
        SummaryCase{"MembersOfTheWrongKindAsItCame", R"({"monitorList":5,"type":"VcpState"})",
                    R"({"monitorList":5,"type":"VcpState"})"},
        SummaryCase{"NotJson", "hello", "hello"}),
    [](const ::testing::TestParamInfo<SummaryCase>& info) { return info.param.name; });

// Two agents on one server: every line says which one sent it.
struct MarkCase {
  const char* name;
  MgmtUpgrade upgrade;
  std::string line;
};

class SummaryLineTest : public ::testing::TestWithParam<MarkCase> {};

TEST_P(SummaryLineTest, CarriesTheSnOfItsConnection) {
  EXPECT_EQ(SummaryLine(GetParam().upgrade, R"({"cmdid":7,"status":"ok","type":"response"})"), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, SummaryLineTest,
    ::testing::Values(MarkCase{"ComputerName", {"/ws", {{"sn", "PC-07"}, {"user-agent", "x"}}},
                               "[PC-07] answer to command 7: ok"},
                      MarkCase{"NameWithSpaces", {"/tarvik/ws", {{"sn", "Demo Mac"}}},
                               "[Demo Mac] answer to command 7: ok"},
                      MarkCase{"NoSnHeader", {"/ws", {{"user-agent", "x"}}}, "[no SN] answer to command 7: ok"},
                      MarkCase{"EmptySn", {"/ws", {{"sn", ""}}}, "[no SN] answer to command 7: ok"}),
    [](const ::testing::TestParamInfo<MarkCase>& info) { return info.param.name; });

}  // namespace
}  // namespace testkit
