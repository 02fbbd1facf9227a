#include <cstring>
#include <string>
#include <vector>

#include "moncontrol/ddcci/vendor/ChildDevInfo.h"
#include "moncontrol/ddcci/vendor/MonitorInfo.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorTest.h"

namespace {

using VendorTableReadTest = VendorTest;

// A monitor-information table as a monitor fills it in.
Bytes MonitorInfoTable() {
  Bytes table(62, 0);
  table[0] = 2;
  table[1] = 32;
  std::memcpy(&table[2], "Halvane 27Q", 11);
  std::memcpy(&table[26], "SP1", 3);
  std::memcpy(&table[30], "QLMO", 4);  // fills its field: no NUL
  std::memcpy(&table[34], "SN0001", 6);
  table[58] = 0x34;  // debug 0x1234, little-endian
  table[59] = 0x12;
  table[60] = 0x07;  // release 0x0107
  table[61] = 0x01;
  return table;
}

// The table in chunks of `size` bytes with the chunk that ends it.
std::vector<Bytes> Chunks(std::uint8_t key, const Bytes& table, std::size_t size) {
  std::vector<Bytes> chunks;
  for (std::size_t offset = 0; offset < table.size(); offset += size) {
    auto first = table.begin() + static_cast<std::ptrdiff_t>(offset);
    chunks.push_back(TableChunk(key, static_cast<std::uint16_t>(offset),
                                Bytes(first, first + static_cast<std::ptrdiff_t>(std::min(size, table.size() - offset)))));
  }
  chunks.push_back(TableChunk(key, static_cast<std::uint16_t>(table.size()), {}));
  return chunks;
}

TEST_F(VendorTableReadTest, MonitorInformationComesInChunksAtTheOffsetsGathered) {
  for (const Bytes& chunk : Chunks(0xA1, MonitorInfoTable(), 20)) Reply(chunk);
  Handed table(CallGetMonitorInfo(m_handle, 1));
  ASSERT_NE(table, nullptr);
  std::vector<int> offsets;
  for (std::size_t i = 0; i < RequestCount(); ++i) offsets.push_back(RequestOffset(i));
  EXPECT_EQ(offsets, (std::vector<int>{0, 20, 40, 60, 62}));
  EXPECT_EQ(m_clock.Sleeps(), std::vector<long long>{});

  tagZunMONITORINFO info;
  std::memcpy(&info, table.get(), sizeof info);
  EXPECT_EQ(info.deviceCount, 2);
  EXPECT_EQ(info.i2cBufSize, 32);
  EXPECT_STREQ(info.modelName, "Halvane 27Q");
  EXPECT_STREQ(info.specialID, "SP1");
  EXPECT_EQ(std::string(info.vendorID, sizeof info.vendorID), "QLMO");
  EXPECT_STREQ(info.sn, "SN0001");
  EXPECT_EQ(info.overallVersionDebug, 0x1234);
  EXPECT_EQ(info.overallVersionRelease, 0x0107);
  EXPECT_EQ(Bytes(table.get() + 62, table.get() + 1024), Bytes(1024 - 62, 0));
}

TEST_F(VendorTableReadTest, ABadChunkInTheMiddleIsAskedForAgainAtItsOffset) {
  const Bytes table = Counting(30, 0x40);
  const Bytes second(table.begin() + 10, table.begin() + 20);
  auto tampered = [&](auto change) {
    Bytes chunk = TableChunk(0xA1, 10, second);
    change(chunk);
    return chunk;
  };
  auto withLengthByte = [&](std::uint8_t length) {
    return tampered([length](Bytes& c) {
      c[1] = length;
      std::uint8_t checksum = 0x50;
      for (std::size_t i = 0; i + 1 < c.size(); ++i) checksum ^= c[i];
      c.back() = checksum;
    });
  };
  struct Case {
    const char* name;
    testkit::Responder bad;
    std::string error;
  };
  const Case cases[] = {
      {"bad checksum", testkit::ReplyStatus(0, tampered([](Bytes& c) { c.back() ^= 0x5A; })),
       "CallDdcciReadTableCmd checksum error"},
      {"another table", testkit::ReplyStatus(0, TableChunk(0xA2, 10, second)),
       "CallDdcciReadTableCmd data check error vcpCode:161 != 162"},
      {"length byte 0x80", testkit::ReplyStatus(0, withLengthByte(0x80)), "CallDdcciReadTableCmd chunk's length byte"},
      {"length byte 0x83", testkit::ReplyStatus(0, withLengthByte(0x83)), "CallDdcciReadTableCmd chunk's length byte"},
      {"length byte claims more", testkit::ReplyStatus(0, withLengthByte(0xFF)),
       "CallDdcciReadTableCmd chunk's length byte"},
      {"null message", testkit::ReplyStatus(0, DisplayReply({})), "CallDdcciReadTableCmd chunk's length byte"},
      {"refused", testkit::ReplyStatus(4), ""},
      {"no reply", testkit::NoReply(), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->ClearRecords();
    m_log.Clear();
    Reply(TableChunk(0xA1, 0, Bytes(table.begin(), table.begin() + 10)));
    m_device->Answer(c.bad);
    Reply(TableChunk(0xA1, 10, second));
    Reply(TableChunk(0xA1, 20, Bytes(table.begin() + 20, table.end())));
    Reply(TableChunk(0xA1, 30, {}));
    std::uint32_t size = 0;
    Handed read(CallDdcciReadTableCmd(m_handle, &size, 0xA1, 0, 0));
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(size, 30u);
    EXPECT_EQ(Bytes(read.get(), read.get() + 30), table);
    ASSERT_EQ(RequestCount(), 5u);
    EXPECT_EQ(RequestOffset(1), 10);
    EXPECT_EQ(RequestOffset(2), 10);
    const std::vector<std::string> errors = m_log.Errors();
    if (c.error.empty()) {
      EXPECT_EQ(errors, std::vector<std::string>{});
    } else {
      ASSERT_FALSE(errors.empty());
      EXPECT_EQ(errors[0].rfind(c.error, 0), 0u) << errors[0];
    }
  }
}

TEST_F(VendorTableReadTest, TheTwentyFirstBadChunkFailsTheReadWhateverCameBetween) {
  const Bytes bad = DisplayReply({0xCE, 0xA1, 0x00});
  // Twenty bad chunks, each followed by a good one of one byte, then the end or a 21st.
  auto script = [&](bool oneMore) {
    for (std::uint8_t i = 0; i < 20; ++i) {
      Reply(bad);
      Reply(TableChunk(0xA1, i, {i}));
    }
    Reply(oneMore ? bad : TableChunk(0xA1, 20, {}));
  };
  script(false);
  std::uint32_t size = 0xDEAD;
  Handed read(CallDdcciReadTableCmd(m_handle, &size, 0xA1, 0, 0));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(size, 20u);
  EXPECT_EQ(Bytes(read.get(), read.get() + 20), Counting(20));

  m_device->ClearRecords();
  script(true);
  size = 0xDEAD;
  Handed failed(CallDdcciReadTableCmd(m_handle, &size, 0xA1, 0, 0));
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(RequestCount(), 41u);

  m_device->ClearRecords();
  m_device->AnswerEveryRequest(testkit::ReplyStatus(0, bad));
  EXPECT_EQ(CallGetMonitorInfo(m_handle, 0), nullptr);
  EXPECT_EQ(RequestCount(), 21u);
}

TEST_F(VendorTableReadTest, AnEmptyFirstChunkIsAnEmptyTableAndNoInformation) {
  Reply(TableChunk(0xA1, 0, {}));
  EXPECT_EQ(CallGetMonitorInfo(m_handle, 0), nullptr);
  Reply(TableChunk(0xA2, 0, {}));
  EXPECT_EQ(CallGetChildInfo(m_handle, 0, 1), nullptr);
  EXPECT_EQ(RequestCount(), 2u);
  EXPECT_EQ(LogLines().back(), "CallGetChildInfo monitorIndex=0,childIndex=1,outSize=0");
}

TEST_F(VendorTableReadTest, ATableLongerThanItsBufferStopsWhenTheBufferIsFull) {
  m_device->AnswerEveryRequest([](const tagMCCMD_HEADER& request, const Bytes& bytes) {
    const std::uint16_t offset = static_cast<std::uint16_t>(bytes[kMccmdHeaderSize + 6] << 8 |
                                                            bytes[kMccmdHeaderSize + 7]);
    return testkit::ReplyStatus(0, TableChunk(0xA2, offset, Counting(100, static_cast<std::uint8_t>(offset))))(
        request, bytes);
  });
  std::uint32_t size = 0;
  Handed read(CallDdcciReadTableCmd(m_handle, &size, 0xA2, 0, 0));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(size, 1024u);
  EXPECT_EQ(Bytes(read.get(), read.get() + 1024), Counting(1024));
  EXPECT_EQ(RequestCount(), 11u);
}

TEST_F(VendorTableReadTest, ChildInformationIsLoggedWithItsTextsWithinTheirFields) {
  tagCHILDDEVINFO child{};
  child.type = 0x21;
  child.ispID = 0x0B;
  std::memcpy(child.fwID, "FW-ID-TWELVE", 12);  // fills its field: no NUL
  std::memcpy(child.fwVer, "1.02", 4);
  std::memcpy(child.sn, "CHILD-SN-01", 11);
  Bytes table(sizeof child);
  std::memcpy(table.data(), &child, sizeof child);
  for (const Bytes& chunk : Chunks(0xA2, table, 32)) Reply(chunk);

  Handed read(CallGetChildInfo(m_handle, 0, 1));
  ASSERT_NE(read, nullptr);
  m_log.Clear();
  LogChildDevInfo(reinterpret_cast<const tagCHILDDEVINFO*>(read.get()));
  LogChildDevInfo(nullptr);
  EXPECT_EQ(LogLines(), std::vector<std::string>{"childDevInfo: type: 0x21, ispID: 0xb, fwID: FW-ID-TWELVE, fwVer: 1.02, "
                                                 "sn: CHILD-SN-01, ultraData: "});
}

}  // namespace
