// The device socket between the simulator client backend and a monsim process.
//
// Each frame is a little-endian uint32 byte count followed by that many bytes. A client sends
// one request frame (an Op byte, then its arguments) and waits for its response frame before
// sending the next one. A connection that has opened a device stays bound to it; enumeration
// uses a connection of its own.
//
//   Op               request arguments                 response
//   Enumerate        u16 vendor, u16 product           u32 count, count collections
//   Open             bytes path                        u8 ok, a collection when ok
//   WriteReport      bytes report                      i32 result
//   ReadReport       u32 length, i32 milliseconds      i32 result, bytes data
//   SendFeature      bytes report                      i32 result
//   GetFeature       bytes report, u32 length          i32 result, bytes data
//   GetInputReport   bytes report, u32 length          u8 ok, bytes data
//   SetOutputReport  bytes report                      u8 ok
//
// "bytes" is a u32 count and the bytes; an optional wide string is a u8 presence flag, a u32
// count and that many u32 code points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "moncontrol/hid/HidBackend.h"

namespace mchid::simproto {

enum class Op : std::uint8_t {
  Enumerate = 1,
  Open = 2,
  WriteReport = 3,
  ReadReport = 4,
  SendFeature = 5,
  GetFeature = 6,
  GetInputReport = 7,
  SetOutputReport = 8,
};

// Frames and the report lengths inside them are bounded so a hostile peer cannot make the
// other end allocate without limit.
inline constexpr std::uint32_t kMaxFrameBytes = 1u << 20;
inline constexpr std::uint32_t kMaxReportBytes = 1u << 16;

class FrameWriter {
 public:
  FrameWriter& U8(std::uint8_t value);
  FrameWriter& U16(std::uint16_t value);
  FrameWriter& U32(std::uint32_t value);
  FrameWriter& I32(std::int32_t value);
  FrameWriter& Bytes(const unsigned char* data, std::size_t length);
  FrameWriter& Bytes(const std::vector<unsigned char>& data);
  FrameWriter& Text(const std::string& text);
  FrameWriter& OptionalWide(const std::optional<std::wstring>& text);
  FrameWriter& Collection(const HidCollection& collection);
  const std::vector<unsigned char>& Data() const { return m_bytes; }

 private:
  std::vector<unsigned char> m_bytes;
};

// Reads fields in order; once a field does not fit, every later read fails too and Ok() is
// false, so a caller checks once at the end.
class FrameReader {
 public:
  explicit FrameReader(const std::vector<unsigned char>& frame) : m_frame(frame) {}
  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  std::int32_t I32();
  std::vector<unsigned char> Bytes();
  std::string Text();
  std::optional<std::wstring> OptionalWide();
  HidCollection Collection();
  bool Ok() const { return m_ok; }
  bool AtEnd() const { return m_ok && m_offset == m_frame.size(); }

 private:
  bool Take(std::size_t count);
  const std::vector<unsigned char>& m_frame;
  std::size_t m_offset = 0;
  bool m_ok = true;
};

// A connected Unix-domain stream socket, or -1.
int ConnectUnixSocket(const std::string& path);

// Whole-frame socket I/O; false when the peer is gone or sent a frame over the bound.
bool SendFrame(int socket, const std::vector<unsigned char>& frame);
bool ReceiveFrame(int socket, std::vector<unsigned char>& frame);

}  // namespace mchid::simproto
