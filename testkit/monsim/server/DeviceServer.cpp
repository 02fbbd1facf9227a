#include "testkit/monsim/server/DeviceServer.h"

#include <poll.h>

#include <algorithm>

#include "moncontrol/hid/linux/SimulatorProtocol.h"

namespace monsim {
namespace {

using mchid::simproto::FrameReader;
using mchid::simproto::FrameWriter;
using mchid::simproto::Op;

// True once the client has hung up or the listener shut the socket down.
bool PeerGone(int socket) {
  pollfd p{socket, POLLRDHUP, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

std::uint32_t BoundedLength(std::uint32_t length) { return std::min(length, mchid::simproto::kMaxReportBytes); }

}  // namespace

DeviceServer::DeviceServer(Simulator& simulator, const std::string& socketPath)
    : m_simulator(simulator), m_listener(socketPath, [this](int socket) { Serve(socket); }) {}

void DeviceServer::Serve(int socket) {
  std::unique_ptr<SimulatedConnection> device;
  std::vector<unsigned char> frame;
  while (mchid::simproto::ReceiveFrame(socket, frame)) {
    FrameReader in(frame);
    auto op = static_cast<Op>(in.U8());
    FrameWriter out;
    // Every call but the first two needs a device opened on this connection.
    if (op != Op::Enumerate && op != Op::Open && !device) return;
    switch (op) {
      case Op::Enumerate: {
        std::uint16_t vendor = in.U16();
        std::uint16_t product = in.U16();
        if (!in.AtEnd()) return;
        auto collections = m_simulator.Enumerate(vendor, product);
        out.U32(static_cast<std::uint32_t>(collections.size()));
        for (const auto& c : collections) out.Collection(c);
        break;
      }
      case Op::Open: {
        std::string path = in.Text();
        if (!in.AtEnd() || device) return;
        device = m_simulator.Open(path);
        out.U8(device ? 1 : 0);
        if (device) out.Collection(device->Collection());
        break;
      }
      case Op::WriteReport:
      case Op::SendFeature:
      case Op::SetOutputReport: {
        std::vector<unsigned char> report = in.Bytes();
        if (!in.AtEnd()) return;
        if (op == Op::SetOutputReport) {
          out.U8(device->SetOutputReport(report.data(), report.size()) ? 1 : 0);
        } else {
          out.I32(op == Op::WriteReport ? device->WriteReport(report.data(), report.size())
                                        : device->SendFeatureReport(report.data(), report.size()));
        }
        break;
      }
      case Op::ReadReport: {
        std::vector<unsigned char> data(BoundedLength(in.U32()));
        std::int32_t milliseconds = in.I32();
        if (!in.AtEnd()) return;
        int n = device->ReadReport(data.data(), data.size(), milliseconds, [socket] { return PeerGone(socket); });
        out.I32(n).Bytes(data.data(), static_cast<std::size_t>(std::max(n, 0)));
        break;
      }
      case Op::GetFeature:
      case Op::GetInputReport: {
        std::vector<unsigned char> reportId = in.Bytes();
        std::vector<unsigned char> data(std::max<std::uint32_t>(BoundedLength(in.U32()), 1));
        if (!in.AtEnd()) return;
        data[0] = reportId.empty() ? 0 : reportId[0];
        if (op == Op::GetFeature) {
          int n = device->GetFeatureReport(data.data(), data.size());
          out.I32(n).Bytes(data.data(), static_cast<std::size_t>(std::clamp<int>(n, 0, static_cast<int>(data.size()))));
        } else {
          bool ok = device->GetInputReport(data.data(), data.size());
          out.U8(ok ? 1 : 0).Bytes(ok ? data : std::vector<unsigned char>{});
        }
        break;
      }
      default:
        return;  // not the protocol: drop the connection
    }
    if (!mchid::simproto::SendFrame(socket, out.Data())) return;
  }
}

}  // namespace monsim
