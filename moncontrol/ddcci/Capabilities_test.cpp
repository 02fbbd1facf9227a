#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/DdcciTest.h"

namespace {

using CapabilitiesTest = DdcciTest;

// 6E len E3 offsetHigh offsetLow data chk
Bytes Fragment(std::uint16_t offset, const std::string& data) {
  Bytes body{0xE3, static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset)};
  body.insert(body.end(), data.begin(), data.end());
  return DisplayReply(body);
}
const Bytes kEnd = DisplayReply({0xE3, 0x00, 0x00});

// Exactly kCapabilitiesMaxLength bytes on the heap, so that AddressSanitizer sees a write past it.
struct Out {
  std::unique_ptr<char[]> bytes = std::make_unique<char[]>(kCapabilitiesMaxLength);
  std::uint32_t length = 12345;
  std::string Text() const { return std::string(bytes.get(), length); }
};

TEST_F(CapabilitiesTest, GathersTheSimulatedStringFragmentByFragment) {
  const std::string text = "(prot(monitor)type(LCD)cmds(1)vcp(02 10 12 C6(02 00 80))mccs_ver(2.2))";
  ASSERT_EQ(text.size(), 70u);
  monsim::MonitorDescription monitor;
  monitor.serial = L"CAPS";
  monitor.display.capabilities = text;
  Simulator().Add(monitor);
  mchid::hid_device* handle = OpenRegistered(L"CAPS");

  Out out;
  ASSERT_EQ(GetCapabilities(handle, &out.length, out.bytes.get()), 71);
  EXPECT_EQ(out.length, 71u);
  EXPECT_EQ(out.Text(), text + '\0');

  const std::vector<Bytes> expected{{0x51, 0x83, 0xF3, 0x00, 0x00, 0x4F},
                                    {0x51, 0x83, 0xF3, 0x00, 0x20, 0x6F},
                                    {0x51, 0x83, 0xF3, 0x00, 0x40, 0x0F},
                                    {0x51, 0x83, 0xF3, 0x00, 0x47, 0x08}};
  std::vector<Bytes> sent;
  for (const monsim::RecordedRequest& request : Simulator().Requests()) {
    sent.push_back(request.payload);
    EXPECT_EQ(+request.header.param4, 0u);
  }
  EXPECT_EQ(sent, expected);
}

TEST_F(CapabilitiesTest, UnusableFragmentsComeOutOfOneBudgetOfTwenty) {
  const std::vector<testkit::Responder> unusable{
      testkit::ReplyStatus(0, DisplayReply({0xE4, 0x00, 0x00, 'x'})),  // another opcode
      testkit::ReplyStatus(0),                                          // empty
      testkit::ReplyStatus(4),                                          // refused
      testkit::NoReply(),
      testkit::ReplyStatus(0, Bytes{0x6E, 0x80, 0xE3, 0x00, 0x00}),     // length byte that would wrap
      testkit::ReplyStatus(0, Bytes{0x6E, 0xFF, 0xE3, 0x00, 0x00, 'x', 0x00}),  // claims 124 bytes
      testkit::ReplyClaimingLength(40, Fragment(0, "abc")),             // claims more than arrives
  };
  struct Case {
    const wchar_t* serial;
    int failures;
    bool read;
  };
  for (const Case& c : {Case{L"NINETEEN", 19, true}, Case{L"TWENTY", 20, false}}) {
    SCOPED_TRACE(c.failures);
    auto device = AddScriptedMonitor(c.serial);
    mchid::hid_device* handle = OpenRegistered(c.serial);
    device->Answer(testkit::ReplyStatus(0, Fragment(0, "(vcp")));
    for (int i = 0; i < c.failures; ++i) device->Answer(unusable[static_cast<std::size_t>(i) % unusable.size()]);
    device->Answer(testkit::ReplyStatus(0, Fragment(4, "(10))")));
    device->Answer(testkit::ReplyStatus(0, kEnd));

    Out out;
    std::int32_t result = GetCapabilities(handle, &out.length, out.bytes.get());
    EXPECT_EQ(result, c.read ? 9 : 0);
    EXPECT_EQ(out.Text(), c.read ? "(vcp(10))" : "");
    EXPECT_EQ(device->Requests().size(), c.read ? 1u + 19u + 2u : 1u + 20u);
  }
}

TEST_F(CapabilitiesTest, AStringThatWouldOverrunTheBufferIsNotRead) {
  const std::string block(32, 'c');
  struct Case {
    const wchar_t* serial;
    std::size_t fragments;
    std::int32_t result;
    std::size_t requests;
  };
  // The 65th fragment does not fit: the read stops there.
  for (const Case& c : {Case{L"FITS", 64, 2048, 65}, Case{L"OVERRUNS", 65, 0, 65}}) {
    SCOPED_TRACE(c.fragments);
    auto device = AddScriptedMonitor(c.serial);
    mchid::hid_device* handle = OpenRegistered(c.serial);
    for (std::size_t i = 0; i < c.fragments; ++i)
      device->Answer(testkit::ReplyStatus(0, Fragment(static_cast<std::uint16_t>(i * 32), block)));
    device->Answer(testkit::ReplyStatus(0, kEnd));

    Out out;
    EXPECT_EQ(GetCapabilities(handle, &out.length, out.bytes.get()), c.result);
    EXPECT_EQ(out.Text(), std::string(static_cast<std::size_t>(c.result), 'c'));
    EXPECT_EQ(device->Requests().size(), c.requests);
  }
  EXPECT_EQ(GetCapabilities(m_handle, nullptr, nullptr), MC_ERR_INVALID_ARG);
}

}  // namespace
