#include "moncontrol/hid/linux/SimulatorProtocol.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mchid::simproto {
namespace {

bool SendAll(int socket, const unsigned char* data, std::size_t length) {
  while (length > 0) {
    ssize_t sent = ::send(socket, data, length, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    length -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool ReceiveAll(int socket, unsigned char* data, std::size_t length) {
  while (length > 0) {
    ssize_t received = ::recv(socket, data, length, 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0) return false;
    data += received;
    length -= static_cast<std::size_t>(received);
  }
  return true;
}

}  // namespace

FrameWriter& FrameWriter::U8(std::uint8_t value) {
  m_bytes.push_back(value);
  return *this;
}

FrameWriter& FrameWriter::U16(std::uint16_t value) {
  m_bytes.push_back(static_cast<unsigned char>(value));
  m_bytes.push_back(static_cast<unsigned char>(value >> 8));
  return *this;
}

FrameWriter& FrameWriter::U32(std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) m_bytes.push_back(static_cast<unsigned char>(value >> shift));
  return *this;
}

FrameWriter& FrameWriter::I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }

FrameWriter& FrameWriter::Bytes(const unsigned char* data, std::size_t length) {
  U32(static_cast<std::uint32_t>(length));
  if (length > 0) m_bytes.insert(m_bytes.end(), data, data + length);
  return *this;
}

FrameWriter& FrameWriter::Bytes(const std::vector<unsigned char>& data) {
  return Bytes(data.data(), data.size());
}

FrameWriter& FrameWriter::Text(const std::string& text) {
  return Bytes(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

FrameWriter& FrameWriter::OptionalWide(const std::optional<std::wstring>& text) {
  U8(text ? 1 : 0);
  if (!text) return *this;
  U32(static_cast<std::uint32_t>(text->size()));
  for (wchar_t c : *text) U32(static_cast<std::uint32_t>(c));
  return *this;
}

FrameWriter& FrameWriter::Collection(const HidCollection& c) {
  Text(c.path).U16(c.vendor_id).U16(c.product_id).OptionalWide(c.serial_number).U16(c.release_number);
  OptionalWide(c.manufacturer_string).OptionalWide(c.product_string);
  return U16(c.usage_page).U16(c.usage).I32(c.interface_number).U16(c.input_report_length).U16(c.output_report_length);
}

bool FrameReader::Take(std::size_t count) {
  if (!m_ok || m_frame.size() - m_offset < count) {
    m_ok = false;
    return false;
  }
  return true;
}

std::uint8_t FrameReader::U8() {
  if (!Take(1)) return 0;
  return m_frame[m_offset++];
}

std::uint16_t FrameReader::U16() {
  if (!Take(2)) return 0;
  std::uint16_t value = static_cast<std::uint16_t>(m_frame[m_offset] | (m_frame[m_offset + 1] << 8));
  m_offset += 2;
  return value;
}

std::uint32_t FrameReader::U32() {
  if (!Take(4)) return 0;
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | m_frame[m_offset + static_cast<std::size_t>(i)];
  m_offset += 4;
  return value;
}

std::int32_t FrameReader::I32() { return static_cast<std::int32_t>(U32()); }

std::vector<unsigned char> FrameReader::Bytes() {
  std::uint32_t length = U32();
  if (!Take(length)) return {};
  auto begin = m_frame.begin() + static_cast<std::ptrdiff_t>(m_offset);
  m_offset += length;
  return {begin, begin + length};
}

std::string FrameReader::Text() {
  std::vector<unsigned char> bytes = Bytes();
  return {bytes.begin(), bytes.end()};
}

std::optional<std::wstring> FrameReader::OptionalWide() {
  if (U8() == 0) return std::nullopt;
  std::uint32_t length = U32();
  // Each code point takes four bytes: refuse a count the frame cannot hold before reserving.
  if (!Take(std::size_t{length} * 4)) return std::nullopt;
  std::wstring text;
  text.reserve(length);
  for (std::uint32_t i = 0; i < length; ++i) text.push_back(static_cast<wchar_t>(U32()));
  return text;
}

HidCollection FrameReader::Collection() {
  HidCollection c;
  c.path = Text();
  c.vendor_id = U16();
  c.product_id = U16();
  c.serial_number = OptionalWide();
  c.release_number = U16();
  c.manufacturer_string = OptionalWide();
  c.product_string = OptionalWide();
  c.usage_page = U16();
  c.usage = U16();
  c.interface_number = I32();
  c.input_report_length = U16();
  c.output_report_length = U16();
  return c;
}

int ConnectUnixSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool SendFrame(int socket, const std::vector<unsigned char>& frame) {
  if (frame.size() > kMaxFrameBytes) return false;
  unsigned char prefix[4];
  auto length = static_cast<std::uint32_t>(frame.size());
  for (int i = 0; i < 4; ++i) prefix[i] = static_cast<unsigned char>(length >> (8 * i));
  return SendAll(socket, prefix, sizeof prefix) && SendAll(socket, frame.data(), frame.size());
}

bool ReceiveFrame(int socket, std::vector<unsigned char>& frame) {
  unsigned char prefix[4];
  if (!ReceiveAll(socket, prefix, sizeof prefix)) return false;
  std::uint32_t length = 0;
  for (int i = 3; i >= 0; --i) length = (length << 8) | prefix[i];
  if (length > kMaxFrameBytes) return false;
  frame.resize(length);
  return ReceiveAll(socket, frame.data(), frame.size());
}

}  // namespace mchid::simproto
