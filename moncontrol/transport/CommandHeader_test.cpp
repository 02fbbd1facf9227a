#include "moncontrol/transport/CommandHeader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "moncontrol/api/CommandHeaderApi.h"
#include "moncontrol/transport/ByteOrder.h"

namespace {

TEST(CommandHeader, RequestStoresEveryFieldLittleEndianAtItsOffset) {
  tagMCCMD_HEADER header{0x00, 0x11223344, 0x00000005, 0xA1B2C3D4, MCCMD_TYPE_DDCCI,
                         0x6E, 0x51,       0x01020304, 0xFFFFFFFE};
  std::vector<std::uint8_t> wire(kMccmdHeaderSize, 0xCC);
  StoreMccmdHeader(header, wire.data());
  const std::vector<std::uint8_t> expected = {
      0x00,                                             // reportID
      0x44, 0x33, 0x22, 0x11, 0x05, 0x00, 0x00, 0x00,   // signature, dataLength
      0xD4, 0xC3, 0xB2, 0xA1, 0x00, 0x00, 0x00, 0x00,   // cmdID, cmdType
      0x6E, 0x00, 0x00, 0x00, 0x51, 0x00, 0x00, 0x00,   // param1, param2
      0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF};  // param3, param4
  EXPECT_EQ(wire, expected);

  tagMCCMD_HEADER back = LoadMccmdHeader(wire.data());
  EXPECT_EQ(+back.signature, 0x11223344u);
  EXPECT_EQ(+back.cmdID, 0xA1B2C3D4u);
  EXPECT_EQ(+back.param3, 0x01020304u);
  EXPECT_EQ(+back.param4, 0xFFFFFFFEu);
}

TEST(CommandHeader, ReceivedHeaderHasNoReportId) {
  std::vector<std::uint8_t> wire(kMccmdReceiveHeaderSize);
  for (std::size_t i = 0; i < wire.size(); ++i) wire[i] = static_cast<std::uint8_t>(i);
  tagMCCMD_RECEIVE_HEADER header = LoadMccmdReceiveHeader(wire.data());
  EXPECT_EQ(+header.signature, 0x03020100u);
  EXPECT_EQ(+header.dataLength, 0x07060504u);
  EXPECT_EQ(+header.cmdID, 0x0B0A0908u);
  EXPECT_EQ(+header.param1, 0x13121110u);
  EXPECT_EQ(+header.param4, 0x1F1E1D1Cu);

  std::vector<std::uint8_t> again(kMccmdReceiveHeaderSize);
  StoreMccmdReceiveHeader(header, again.data());
  EXPECT_EQ(again, wire);
}

TEST(CommandHeader, HeaderSizeIs33) { EXPECT_EQ(GetMccmdHeaderSize(), 33); }

TEST(ByteOrder, BigEndianStoreAtPosition) {
  std::uint8_t buffer[6] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  WriteUInt32BE(1, 1, buffer);
  const std::uint8_t expected[6] = {0xAA, 0x00, 0x00, 0x00, 0x01, 0xAA};
  EXPECT_EQ(0, std::memcmp(buffer, expected, sizeof(buffer)));
  EXPECT_EQ(LoadUInt32LE(buffer + 1), 0x01000000u);
}

}  // namespace
