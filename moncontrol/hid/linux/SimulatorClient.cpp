#include "moncontrol/hid/linux/SimulatorClient.h"

#include <unistd.h>

#include <algorithm>
#include <mutex>

#include "moncontrol/hid/linux/SimulatorProtocol.h"

namespace mchid {
namespace {

using simproto::FrameReader;
using simproto::FrameWriter;
using simproto::Op;

// One request and its response; false when the server is gone.
bool Exchange(int fd, const FrameWriter& request, std::vector<unsigned char>& response) {
  return simproto::SendFrame(fd, request.Data()) && simproto::ReceiveFrame(fd, response);
}

// An open device is one connection to the server. Calls on it are serialised; once the
// server has vanished every call fails.
class SimulatorClientConnection final : public HidConnection {
 public:
  SimulatorClientConnection(int fd, HidCollection collection)
      : m_fd(fd), m_collection(std::move(collection)) {}
  ~SimulatorClientConnection() override { ::close(m_fd); }

  int WriteReport(const unsigned char* data, std::size_t length) override {
    return ResultOf(Op::WriteReport, [&](FrameWriter& w) { w.Bytes(data, length); });
  }

  int ReadReport(unsigned char* data, std::size_t length, int milliseconds) override {
    FrameWriter request;
    request.U8(static_cast<std::uint8_t>(Op::ReadReport))
        .U32(static_cast<std::uint32_t>(std::min<std::size_t>(length, simproto::kMaxReportBytes)))
        .I32(milliseconds);
    return ResultWithData(request, data, length);
  }

  int SendFeatureReport(const unsigned char* data, std::size_t length) override {
    return ResultOf(Op::SendFeature, [&](FrameWriter& w) { w.Bytes(data, length); });
  }

  int GetFeatureReport(unsigned char* data, std::size_t length) override {
    FrameWriter request;
    request.U8(static_cast<std::uint8_t>(Op::GetFeature)).Bytes(data, std::min<std::size_t>(length, 1));
    request.U32(static_cast<std::uint32_t>(std::min<std::size_t>(length, simproto::kMaxReportBytes)));
    return ResultWithData(request, data, length);
  }

  bool GetInputReport(unsigned char* data, std::size_t length) override {
    FrameWriter request;
    request.U8(static_cast<std::uint8_t>(Op::GetInputReport)).Bytes(data, std::min<std::size_t>(length, 1));
    request.U32(static_cast<std::uint32_t>(std::min<std::size_t>(length, simproto::kMaxReportBytes)));
    std::lock_guard lock(m_mutex);
    std::vector<unsigned char> response;
    if (!Call(request, response)) return false;
    FrameReader reader(response);
    bool ok = reader.U8() != 0;
    std::vector<unsigned char> bytes = reader.Bytes();
    if (!reader.AtEnd() || bytes.size() > length) return false;
    std::copy(bytes.begin(), bytes.end(), data);
    return ok;
  }

  bool SetOutputReport(const unsigned char* data, std::size_t length) override {
    FrameWriter request;
    request.U8(static_cast<std::uint8_t>(Op::SetOutputReport)).Bytes(data, length);
    std::lock_guard lock(m_mutex);
    std::vector<unsigned char> response;
    if (!Call(request, response)) return false;
    FrameReader reader(response);
    bool ok = reader.U8() != 0;
    return reader.AtEnd() && ok;
  }

  const HidCollection& Collection() const override { return m_collection; }
  long long SystemHandle() const override { return -1; }

 private:
  // The caller holds m_mutex.
  bool Call(const FrameWriter& request, std::vector<unsigned char>& response) {
    if (m_broken) return false;
    if (!Exchange(m_fd, request, response)) m_broken = true;
    return !m_broken;
  }

  template <typename Fill>
  int ResultOf(Op op, Fill fill) {
    FrameWriter request;
    request.U8(static_cast<std::uint8_t>(op));
    fill(request);
    std::lock_guard lock(m_mutex);
    std::vector<unsigned char> response;
    if (!Call(request, response)) return -1;
    FrameReader reader(response);
    std::int32_t result = reader.I32();
    return reader.AtEnd() ? result : -1;
  }

  // A response of an i32 result and bytes copied into the caller's buffer.
  int ResultWithData(const FrameWriter& request, unsigned char* data, std::size_t length) {
    std::lock_guard lock(m_mutex);
    std::vector<unsigned char> response;
    if (!Call(request, response)) return -1;
    FrameReader reader(response);
    std::int32_t result = reader.I32();
    std::vector<unsigned char> bytes = reader.Bytes();
    if (!reader.AtEnd() || bytes.size() > length) return -1;
    std::copy(bytes.begin(), bytes.end(), data);
    return result;
  }

  const int m_fd;
  const HidCollection m_collection;
  std::mutex m_mutex;
  bool m_broken = false;
};

class SimulatorClientBackend final : public HidBackend {
 public:
  explicit SimulatorClientBackend(std::string socketPath) : m_socketPath(std::move(socketPath)) {}

  std::vector<HidCollection> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override {
    int fd = simproto::ConnectUnixSocket(m_socketPath);
    if (fd < 0) return {};
    FrameWriter request;
    request.U8(static_cast<std::uint8_t>(Op::Enumerate)).U16(vendorId).U16(productId);
    std::vector<unsigned char> response;
    bool exchanged = Exchange(fd, request, response);
    ::close(fd);
    if (!exchanged) return {};
    FrameReader reader(response);
    std::uint32_t count = reader.U32();
    std::vector<HidCollection> collections;
    for (std::uint32_t i = 0; i < count && reader.Ok(); ++i) collections.push_back(reader.Collection());
    if (!reader.AtEnd()) return {};
    return collections;
  }

  std::unique_ptr<HidConnection> OpenPath(const std::string& path) override {
    int fd = simproto::ConnectUnixSocket(m_socketPath);
    if (fd < 0) return nullptr;
    FrameWriter request;
    request.U8(static_cast<std::uint8_t>(Op::Open)).Text(path);
    std::vector<unsigned char> response;
    if (Exchange(fd, request, response)) {
      FrameReader reader(response);
      if (reader.U8() != 0) {
        HidCollection collection = reader.Collection();
        if (reader.AtEnd()) return std::make_unique<SimulatorClientConnection>(fd, std::move(collection));
      }
    }
    ::close(fd);
    return nullptr;
  }

 private:
  const std::string m_socketPath;
};

}  // namespace

std::shared_ptr<HidBackend> MakeSimulatorClientBackend(const std::string& socketPath) {
  return std::make_shared<SimulatorClientBackend>(socketPath);
}

}  // namespace mchid
