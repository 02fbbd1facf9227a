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

}  // namespace
}  // namespace testkit
