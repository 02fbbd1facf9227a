#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/HidTransport.h"
#include "testkit/hiddouble/ScriptedHidFixture.h"

namespace {

using testkit::Bytes;

using NoReplyCommandTest = ScriptedHidFixture;

TEST_F(NoReplyCommandTest, TriesFiveTimesAndLogsTheOutcome) {
  struct Case {
    const char* name;
    std::size_t payload;
    int failWrites;
    std::int32_t expected;
    std::int32_t written;
    std::vector<std::wstring> lines;
  };
  const Case cases[] = {
      {"first try", 0, 0, 0, 65, {}},
      {"two reports",
       40,
       0,
       0,
       129,
       {L"OpenIsp2Hid hid_write ret=65,offset=65,nDataLengthToWrite=73"}},
      {"second try", 0, 10, 0, 65, {L"SendCommandNoReply reSend = 3."}},
      {"fifth try", 0, 40, 0, 65, {L"SendCommandNoReply reSend = 0."}},
      {"no try", 0, 50, MC_ERR_NO_REPLY, -1, {L"SendCommandNoReply Error."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    m_device->FailNextWrites(c.failWrites);
    Bytes request = SignedRequest(0x0102, 4, 0, Bytes(c.payload, 0xAB));
    std::int32_t written = -1;
    EXPECT_EQ(SendCommandNoReply(m_handle, 0, request.data(), &written, -1), c.expected);
    EXPECT_EQ(written, c.written);
    EXPECT_EQ(Lines(), c.lines);
    EXPECT_EQ(m_device->Requests().size(), c.expected == 0 ? 1u : 0u);
    EXPECT_TRUE(m_clock.Sleeps().empty());
  }
}

TEST_F(NoReplyCommandTest, RefusesBadArguments) {
  Bytes request = SignedRequest(0x0102, 4, 0);
  std::int32_t written = 0;
  EXPECT_EQ(SendCommandNoReply(nullptr, 0, request.data(), &written, 0), MC_ERR_INVALID_ARG);
  EXPECT_EQ(SendCommandNoReply(m_handle, 0, nullptr, &written, 0), MC_ERR_INVALID_ARG);
  EXPECT_EQ(SendCommandNoReply(m_handle, 0, request.data(), &written, -5), MC_ERR_INVALID_ARG);
  EXPECT_TRUE(m_device->Writes().empty());
}

TEST_F(NoReplyCommandTest, OpenIsp2HidLogsTheDeviceItLookedFor) {
  mchid::hid_device* device = OpenIsp2Hid(0x3A71, 0xF00F, L"SCRIPTED0001", 0);
  ASSERT_NE(device, nullptr);
  CloseIsp2Hid(device);
  EXPECT_EQ(OpenIsp2Hid(0x3A71, 0xF00F, L"OTHER\u00e9", -1), nullptr);
  EXPECT_EQ(OpenIsp2Hid(0x3A71, 0xF00F, nullptr, -2), nullptr);
  CloseIsp2Hid(nullptr);
  EXPECT_EQ(Lines(), std::vector<std::wstring>({
                         L"OpenIsp2Hid device 3a71,f00f,SCRIPTED0001,0",
                         L"OpenIsp2Hid unable to open device 3a71,f00f,OTHER\u00e9,-1",
                         L"OpenIsp2Hid unable to open device 3a71,f00f,,-2",
                     }));
}

}  // namespace
