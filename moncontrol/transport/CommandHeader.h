// The command header of a request (33 bytes, report ID first) and of a reply or unsolicited
// message as read (32 bytes, the report ID removed by the HID layer). On the wire every
// multi-byte field is little-endian; the structs hold host values and are packed so that on
// a little-endian host they are the wire form itself. Load and Store convert on any host.
// Fields of packed structs are unaligned: copy them out (+header.cmdID) before binding a
// reference, as test macros do.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct tagMCCMD_HEADER {
  std::uint8_t reportID;
  std::uint32_t signature;
  std::uint32_t dataLength;
  std::uint32_t cmdID;
  std::uint32_t cmdType;
  std::uint32_t param1;
  std::uint32_t param2;
  std::uint32_t param3;
  std::uint32_t param4;
};

struct tagMCCMD_RECEIVE_HEADER {
  std::uint32_t signature;
  std::uint32_t dataLength;
  std::uint32_t cmdID;
  std::uint32_t cmdType;
  std::uint32_t param1;  // reply status, or funcCode of a message
  std::uint32_t param2;
  std::uint32_t param3;
  std::uint32_t param4;
};

#pragma pack(pop)

static_assert(sizeof(tagMCCMD_HEADER) == 33);
static_assert(offsetof(tagMCCMD_HEADER, signature) == 1);
static_assert(offsetof(tagMCCMD_HEADER, dataLength) == 5);
static_assert(offsetof(tagMCCMD_HEADER, cmdID) == 9);
static_assert(offsetof(tagMCCMD_HEADER, cmdType) == 13);
static_assert(offsetof(tagMCCMD_HEADER, param1) == 17);
static_assert(offsetof(tagMCCMD_HEADER, param4) == 29);
static_assert(sizeof(tagMCCMD_RECEIVE_HEADER) == 32);
static_assert(offsetof(tagMCCMD_RECEIVE_HEADER, dataLength) == 4);
static_assert(offsetof(tagMCCMD_RECEIVE_HEADER, cmdID) == 8);
static_assert(offsetof(tagMCCMD_RECEIVE_HEADER, cmdType) == 12);
static_assert(offsetof(tagMCCMD_RECEIVE_HEADER, param1) == 16);
static_assert(offsetof(tagMCCMD_RECEIVE_HEADER, param4) == 28);

inline constexpr std::size_t kMccmdHeaderSize = sizeof(tagMCCMD_HEADER);
inline constexpr std::size_t kMccmdReceiveHeaderSize = sizeof(tagMCCMD_RECEIVE_HEADER);
// Payload bytes that one input report carries behind the header.
inline constexpr std::size_t kMccmdReportPayload = 32;

enum : std::uint32_t {
  MCCMD_TYPE_DDCCI = 0,
  MCCMD_TYPE_IIC = 1,
  MCCMD_TYPE_FUNCTION = 4,
  MCCMD_TYPE_MESSAGE = 5,  // unsolicited, from the monitor only
};

// Reply status of an accepted request.
inline constexpr std::uint32_t HID_ACK_SUCCESS = 0;

// 33 bytes of a request.
tagMCCMD_HEADER LoadMccmdHeader(const std::uint8_t* bytes);
void StoreMccmdHeader(const tagMCCMD_HEADER& header, std::uint8_t* bytes);
// 32 bytes of a reply or message.
tagMCCMD_RECEIVE_HEADER LoadMccmdReceiveHeader(const std::uint8_t* bytes);
void StoreMccmdReceiveHeader(const tagMCCMD_RECEIVE_HEADER& header, std::uint8_t* bytes);
