#include "testkit/monsim/handlers/VendorHandler.h"

#include <gtest/gtest.h>

#include "testkit/monsim/ddcci/DdcciFrames.h"
#include "testkit/monsim/handlers/DdcciHandler.h"
#include "testkit/monsim/testing/TestHost.h"
#include "testkit/monsim/vendor/VendorTables.h"

namespace monsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::WithChecksum;

const Bytes kNull{0x6E, 0x80, 0xBE};

Bytes Answer(std::uint8_t subCommand, Bytes data) {
  data.insert(data.begin(), {0xCE, subCommand});
  return ReplyFrame(data);
}

Bytes Offset(std::size_t offset) { return {static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset)}; }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct VendorHandlerTest : ::testing::Test {
  VendorHandlerTest() {
    display.vendor.status = 7;
    display.vendor.fwTransferResult = 3;
    display.vendor.daisyChainResults = {10, 11, 12, 13};
    chain[1].vendor.status = 9;
  }
  std::optional<Bytes> Send(Bytes frame) { return AnswerDdcciFrame(WithChecksum(std::move(frame)), display, &chain); }
  Display display;
  std::map<std::uint8_t, Display> chain;
};

TEST_F(VendorHandlerTest, AnswersEachCommandOnlyWithTheFrameItExpects) {
  struct Case {
    const char* name;
    Bytes frame;  // without its checksum
    Bytes reply;
  };
  const Case cases[] = {
      {"count: the monitor and its chain", {0x51, 0x83, 0xCE, 0xA0, 0x00}, Answer(0xA0, {0x00, 0x02})},
      {"status of the monitor", {0x51, 0x83, 0xCE, 0xA8, 0x00}, Answer(0xA8, {0x00, 0x07})},
      {"status of the chained monitor", {0x51, 0x83, 0xCE, 0xA8, 0x01}, Answer(0xA8, {0x00, 0x09})},
      {"status of nobody", {0x51, 0x83, 0xCE, 0xA8, 0x05}, Answer(0xA8, {0x01, 0x00})},
      {"transfers finished", {0x51, 0x83, 0xCE, 0xA6, 0x00}, Answer(0xA6, {0x03})},
      {"update condition", Concat({0x51, 0x8D, 0xCE, 0xA3}, Bytes(11, 1)), Answer(0xA3, {0x00})},
      {"update condition one byte short", Concat({0x51, 0x8C, 0xCE, 0xA3}, Bytes(10, 1)), kNull},
      {"daisy-chain step 1", {0x51, 0x88, 0xCE, 0xA9, 0x01, 0, 0, 0, 0, 0}, Answer(0xA9, {0x01, 11, 0x00})},
      {"daisy-chain step it lacks", {0x51, 0x88, 0xCE, 0xA9, 0x07, 0, 0, 0, 0, 0}, Answer(0xA9, {0x07, 0, 0x01})},
      {"daisy-chain step without its arguments", {0x51, 0x83, 0xCE, 0xA9, 0x01}, kNull},
      {"UART loops back", {0x51, 0x85, 0xCE, 0xC0, 0x41, 0x54, 0x0D}, Answer(0xC0, {0x41, 0x54, 0x0D})},
      {"longest UART payload", Concat({0x51, 0xFF, 0xCE, 0xC0}, Bytes(125, 0x55)), Answer(0xC0, Bytes(125, 0x55))},
      {"length byte misstates the frame", {0x51, 0x85, 0xCE, 0xA0, 0x00}, kNull},
      {"unknown sub-command", {0x51, 0x83, 0xCE, 0x55, 0x00}, kNull},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Send(c.frame), c.reply);
  }
}

// Reads a vendor table the way the library does: from offset 0 until a chunk without data.
Bytes ReadVendorTable(VendorHandlerTest& t, std::uint8_t key, std::uint8_t child, std::uint8_t monitor) {
  Bytes gathered;
  for (int guard = 0; guard < 100; ++guard) {
    auto reply = t.Send(Concat({0x51, 0x86, 0xCE, key, child, monitor}, Offset(gathered.size())));
    EXPECT_TRUE(reply);
    if (!reply || *reply == kNull) return {};
    EXPECT_EQ(reply->back(), XorOf(reply->data(), reply->size() - 1, kReplyChecksumSeed));
    EXPECT_EQ(Bytes(reply->begin() + 2, reply->begin() + 6), Concat({0xCE, key}, Offset(gathered.size())));
    EXPECT_EQ(static_cast<std::size_t>((*reply)[1]), 0x80 | (reply->size() - 3));
    if (reply->size() == 7) break;
    gathered.insert(gathered.end(), reply->begin() + 6, reply->end() - 1);
  }
  return gathered;
}

TEST_F(VendorHandlerTest, InformationTablesComeInChunksByMonitorAndChild) {
  MonitorInfoFields info;
  info.modelName = "Halvane 27Q";
  info.sn = "S1";
  display.vendor.monitorInfo = EncodeMonitorInfo(info);
  display.vendor.tableChunk = 16;
  ChildDeviceFields child;
  child.fwVer = "1.02";
  display.vendor.childInfo = {EncodeChildDevice({}), EncodeChildDevice(child)};
  info.sn = "S2";
  chain[1].vendor.monitorInfo = EncodeMonitorInfo(info);

  EXPECT_EQ(ReadVendorTable(*this, 0xA1, 0, 0), display.vendor.monitorInfo);
  EXPECT_EQ(ReadVendorTable(*this, 0xA1, 0, 1), chain[1].vendor.monitorInfo);
  EXPECT_EQ(ReadVendorTable(*this, 0xA2, 1, 0), display.vendor.childInfo[1]);
  EXPECT_EQ(ReadVendorTable(*this, 0xA2, 2, 0), Bytes{});  // no such child: an empty table
  EXPECT_EQ(ReadVendorTable(*this, 0xA1, 0, 1).size(), 62u);
  EXPECT_EQ(Send(Concat({0x51, 0x86, 0xCE, 0xA1, 0x00, 0x04}, Offset(0))), kNull);  // no such monitor
}

TEST_F(VendorHandlerTest, TablesWrittenByVcpCodeAreReadBack) {
  const Bytes table{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  display.vendor.tableChunk = 4;
  EXPECT_EQ(Send(Concat(Concat({0x6F, 6, 0xE7, 0x73}, Offset(0)), Bytes(table.begin(), table.begin() + 6))), Bytes{});
  EXPECT_EQ(Send(Concat(Concat({0x6F, 4, 0xE7, 0x73}, Offset(6)), Bytes(table.begin() + 6, table.end()))), Bytes{});
  EXPECT_EQ(display.vendor.tables[0x73], table);

  Bytes chunk{0x6E, 0x04, 0xCE, 1, 2, 3, 4};
  chunk.push_back(XorOf(chunk.data(), chunk.size(), kReplyChecksumSeed));
  EXPECT_EQ(Send(Concat({0x51, 0x83, 0xCE, 0x73, 0x00, 0x00}, Offset(0))), chunk);
  EXPECT_EQ((*Send(Concat({0x51, 0x83, 0xCE, 0x73, 0x00, 0x00}, Offset(8))))[1], 2);
  EXPECT_EQ((*Send(Concat({0x51, 0x83, 0xCE, 0x73, 0x00, 0x00}, Offset(10))))[1], 0);
  EXPECT_EQ((*Send(Concat({0x51, 0x83, 0xCE, 0x74, 0x00, 0x00}, Offset(0))))[1], 0);

  // A write at offset 0 starts the table afresh; one whose length byte is not its data's is refused.
  EXPECT_EQ(Send(Concat(Concat({0x6F, 2, 0xE7, 0x73}, Offset(0)), {9, 9})), Bytes{});
  EXPECT_EQ(display.vendor.tables[0x73], (Bytes{9, 9}));
  EXPECT_FALSE(Send(Concat(Concat({0x6F, 3, 0xE7, 0x73}, Offset(2)), {9, 9})));
  EXPECT_FALSE(Send(Concat(Concat({0x6F, 33, 0xE7, 0x73}, Offset(2)), Bytes(33, 9))));
}

TEST_F(VendorHandlerTest, VendorTableWritesArePlacedByTheirOffsets) {
  auto frame = [](std::size_t offset, const Bytes& data) {
    Bytes f = Concat(Concat({0x51, static_cast<std::uint8_t>(0x80 | data.size()), 0xCE, 0xA2, 0x01, 0x02},
                            Offset(offset)),
                     data);
    f.resize(31, 0);
    return f;
  };
  EXPECT_EQ(Send(frame(0, Bytes(23, 0x11))), Answer(0xA2, {}));
  EXPECT_EQ(Send(frame(23, {0x22, 0x33})), Answer(0xA2, {}));
  EXPECT_EQ(display.vendor.vendorWrites[0xA2], Concat(Bytes(23, 0x11), {0x22, 0x33}));
  // 24 data bytes do not fit the frame: it is no table write.
  Bytes tooMany = frame(25, {});
  tooMany[1] = 0x98;
  EXPECT_EQ(Send(tooMany), kNull);
}

}  // namespace
}  // namespace monsim
